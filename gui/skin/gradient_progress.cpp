#include "gui/skin/gradient_progress.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace orv {

void GradientProgress::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  SetPos(value_);
}

void GradientProgress::SetPos(int value) {
  value_ = std::clamp(value, min_, max_);
  update();
}

void GradientProgress::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  p.fillRect(rect(), QColor(245, 248, 252));
  const int span = max_ - min_;
  const int filled = span == 0 ? 0 : (width() - 2) * (value_ - min_) / span;
  if (filled > 0) {
    QLinearGradient g(1, 0, width() - 1, 0);
    g.setColorAt(0, QColor(86, 140, 214));
    g.setColorAt(1, QColor(40, 90, 170));
    p.fillRect(QRect(1, 1, filled, height() - 2), g);
  }
  p.setPen(QColor(120, 145, 185));
  p.drawRect(frame);
}

}  // namespace orv
