#include "gui/preview/range_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace orv {
namespace {

const QColor kTrackColour(229, 231, 239);
const QColor kThumbColour(245, 246, 248);

}  // namespace

RangeSlider::RangeSlider(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::ArrowCursor);
}

void RangeSlider::SetMinMax(double min, double max) {
  model_.SetMinMax(min, max);
  Relayout();
  update();
}

void RangeSlider::SetSelection(double start, double end) {
  model_.SetSelection(start, end);
  Relayout();
  update();
}

void RangeSlider::resizeEvent(QResizeEvent*) { Relayout(); }

void RangeSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  update();
  const QPoint at = event->position().toPoint();
  model_.Press(at.x(), at.y());
}

void RangeSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!model_.Tracking()) return;
  const int wParam = model_.Move(event->position().toPoint().x());
  Relayout();
  emit clipRangeChanged(wParam);
  update();
}

void RangeSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !model_.Tracking()) return;
  model_.Release();
  update();
}

void RangeSlider::keyPressEvent(QKeyEvent* event) {
  const bool arrow = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
  if (!arrow) {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  if (event->modifiers() & Qt::ControlModifier) return;
  Relayout();
  const int wParam =
      model_.ArrowKey(event->key() == Qt::Key_Right, event->modifiers() & Qt::ShiftModifier);
  if (wParam < 0) return;
  Relayout();
  emit clipRangeChanged(wParam);
  update();
}

void RangeSlider::DrawThumb(QPainter& p, const PixelRect& r, bool dragged) const {
  p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), kThumbColour);
  if (!dragged) {
    // A raised edge, inset one pixel at the left and top, two at the right and bottom.
    const int x1 = r.left + 1, y1 = r.top + 1, x2 = r.right - 3, y2 = r.bottom - 3;
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(x1, y1, x2 - 1, y1);
    p.drawLine(x1, y1, x1, y2 - 1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(x2, y1, x2, y2);
    p.drawLine(x1, y2, x2, y2);
  }
}

void RangeSlider::paintEvent(QPaintEvent*) {
  Relayout();
  QPainter p(this);
  const int a = model_.ArrowWidth(), h = height();
  const int l = model_.LeftPixel(), r = model_.RightPixel();
  p.fillRect(rect(), palette().window());
  p.setPen(Qt::black);
  p.setBrush(kTrackColour);
  p.drawRect(QRect(0, 0, width() - 1, h - 1));

  const bool tracking = model_.Tracking();
  const auto part = model_.TrackedPart();
  DrawThumb(p, model_.LeftThumbRect(), tracking && part == RangeSliderModel::kLeftThumb);
  DrawThumb(p, model_.RightThumbRect(), tracking && part == RangeSliderModel::kRightThumb);
  p.setPen(Qt::black);
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygon(
      {QPoint(l + a / 3, h / 3), QPoint(l + a / 3, 2 * h / 3), QPoint(l + 2 * a / 3, h / 2)}));
  p.drawPolygon(QPolygon({QPoint(r + a + 2 * a / 3, h / 3), QPoint(r + a + 2 * a / 3, 2 * h / 3),
                          QPoint(r + a + a / 3, h / 2)}));

  const int bandLeft = l + a + 1, bandRight = r + a;
  if (bandRight > bandLeft) p.fillRect(QRect(bandLeft, 1, bandRight - bandLeft, h - 2), Qt::white);
}

}  // namespace orv
