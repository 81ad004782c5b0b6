#include "preview/video_panel.h"

#include <QPainter>

namespace orv {

VideoPanel::VideoPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoPanel::SetPauseScreen(bool on) {
  pauseScreen_ = on;
  update();
}

void VideoPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(16, 20, 28));
  if (pauseScreen_) {
    p.setPen(QColor(200, 210, 230));
    p.drawText(rect(), Qt::AlignCenter, "Paused");
  }
}

}  // namespace orv
