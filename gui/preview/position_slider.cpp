#include "gui/preview/position_slider.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <cmath>

#include "gui/skin/skin_image.h"

namespace orv {
namespace {

// Key-coloured pixels become transparent, as drawing through a mask does.
bool ApplyKey(QPixmap& pixmap, uint32_t keyColour, int keyX, int keyY) {
  QImage image = pixmap.toImage();
  QColor key;
  if (keyColour == kKeyFromPixel) {
    if (!image.valid(keyX, keyY)) return false;
    key = image.pixelColor(keyX, keyY);
  } else {
    key = QColor::fromRgb(keyColour);
  }
  pixmap.setMask(pixmap.createMaskFromColor(key, Qt::MaskInColor));
  return true;
}

int Truncated(double value) { return static_cast<int>(std::trunc(value)); }

}  // namespace

PositionSlider::PositionSlider(int id, QWidget* parent) : QWidget(parent), id_(id) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool PositionSlider::LoadFace(Face& face, int normalId, int activeId, bool transparent,
                              uint32_t keyColour, int keyX, int keyY) {
  Face loaded;
  loaded.transparent = transparent;
  loaded.normal = SkinImage(normalId);
  if (loaded.normal.isNull()) return false;
  if (activeId != 0) {
    loaded.active = SkinImage(activeId);
    if (loaded.active.isNull()) return false;
  }
  if (transparent) {
    if (!ApplyKey(loaded.normal, keyColour, keyX, keyY)) return false;
    if (!loaded.active.isNull() && !ApplyKey(loaded.active, keyColour, keyX, keyY)) return false;
  }
  face = loaded;
  return true;
}

bool PositionSlider::SetChannelBitmaps(int normalId, int activeId, bool transparent,
                                       uint32_t keyColour, int keyX, int keyY) {
  if (normalId == 0) {
    channel_ = Face();
    return true;
  }
  if (!LoadFace(channel_, normalId, activeId, transparent, keyColour, keyX, keyY)) return false;
  resize(channel_.normal.size());
  track_.width = width();
  height_ = height();
  return true;
}

bool PositionSlider::SetThumbBitmaps(int normalId, int activeId, bool transparent,
                                     uint32_t keyColour, int keyX, int keyY) {
  if (normalId == 0) {
    thumb_ = Face();
    return true;
  }
  if (!LoadFace(thumb_, normalId, activeId, transparent, keyColour, keyX, keyY)) return false;
  track_.thumbWidth = thumb_.normal.width();
  thumbHeight_ = thumb_.normal.height();
  if (!channel_.Loaded()) {
    track_.width = width();
    height_ = height();
  }
  return true;
}

void PositionSlider::SetRange(double min, double max, bool redraw) {
  track_.minValue = min;
  track_.maxValue = max;
  if (redraw) update();
}

void PositionSlider::SetMax(double max, bool redraw) { SetRange(track_.minValue, max, redraw); }
void PositionSlider::SetMin(double min, bool redraw) { SetRange(min, track_.maxValue, redraw); }

void PositionSlider::SetPos(double value) {
  pos_ = value;
  if (pos_ > track_.maxValue) pos_ = track_.maxValue;
  if (pos_ < track_.minValue) pos_ = track_.minValue;
  update();
}

void PositionSlider::SetMargins(int left, int top, int right, int bottom) {
  track_.marginLeft = left;
  marginTop_ = top;
  track_.marginRight = right;
  marginBottom_ = bottom;
}

void PositionSlider::SetDrawFocusRect(bool on, bool redraw) {
  drawFocusRect_ = on;
  if (redraw) update();
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  dragging_ = true;
  const int x = event->position().toPoint().x();
  const int t = ThumbCentre();
  mouseOffset_ = std::abs(x - t) > track_.HalfThumb() ? 0 : x - t;
  DragTo(x);
  update();
}

void PositionSlider::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) DragTo(event->position().toPoint().x());
}

void PositionSlider::DragTo(int pointerX) {
  const int x = track_.ClampCentre(pointerX - mouseOffset_);
  if (x == ThumbCentre()) return;
  SetPos(track_.PositionOf(x));
  emit positionDragged(id_, Truncated(pos_));
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = false;
  update();
  emit positionReleased(id_, Truncated(pos_));
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
  // The arrow keys are kept from the dialog, and do nothing here.
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void PositionSlider::focusInEvent(QFocusEvent*) {
  hasFocus_ = true;
  update();
}

void PositionSlider::focusOutEvent(QFocusEvent*) {
  hasFocus_ = false;
  update();
}

void PositionSlider::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // A transparent or missing channel lets the parent's skin show through.
  if (channel_.Loaded() && !channel_.transparent) p.fillRect(rect(), palette().window());
  const int centre = ThumbCentre();
  if (channel_.Loaded()) {
    p.drawPixmap(0, 0, channel_.normal);
    if (!channel_.active.isNull()) {
      const int w = std::min(centre, channel_.active.width());
      p.drawPixmap(0, 0, channel_.active, 0, 0, w, channel_.active.height());
    }
  }
  if (thumb_.Loaded()) {
    const QPixmap& face = dragging_ && !thumb_.active.isNull() ? thumb_.active : thumb_.normal;
    p.drawPixmap(centre - track_.HalfThumb(), marginTop_, face);
  }
  if (drawFocusRect_ && hasFocus_) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}

}  // namespace orv
