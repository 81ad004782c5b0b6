#include "gui/skin/skin_button.h"

#include <QPainter>

#include "gui/skin/skin_image.h"

namespace orv {
namespace {

QPixmap Face(int id) { return SkinImage(id); }

}  // namespace

SkinButton::SkinButton(int id, const ButtonFaces& faces, QWidget* parent)
    : QAbstractButton(parent), id_(id) {
  setObjectName(QString("button%1").arg(id));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  normal_[0] = Face(faces.normal);
  pressed_[0] = Face(faces.pressed);
  hotFace_[0] = Face(faces.hot);
}

void SkinButton::SetAlternateFaces(const ButtonFaces& faces) {
  normal_[1] = Face(faces.normal);
  pressed_[1] = Face(faces.pressed);
  hotFace_[1] = Face(faces.hot);
}

void SkinButton::SetAlternate(bool on) {
  alternate_ = on && !normal_[1].isNull();
  update();
}

int SkinButton::CurrentFace() const {
  if (isDown() || hasFocus()) return 1;
  if (hot_ && isEnabled()) return 2;
  return 0;
}

QSize SkinButton::sizeHint() const {
  return normal_[0].isNull() ? QSize(16, 16) : normal_[0].size();
}

void SkinButton::paintEvent(QPaintEvent*) {
  const int set = alternate_ ? 1 : 0;
  const QPixmap* face = &normal_[set];
  const int which = CurrentFace();
  if (which == 1 && !pressed_[set].isNull()) face = &pressed_[set];
  if (which == 2 && !hotFace_[set].isNull()) face = &hotFace_[set];
  QPainter p(this);
  // Commands that are not available yet look faded, not missing.
  if (!isEnabled()) p.setOpacity(0.4);
  p.drawPixmap(0, 0, *face);
}

void SkinButton::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace orv
