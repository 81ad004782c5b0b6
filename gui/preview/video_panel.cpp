#include "gui/preview/video_panel.h"

#include <QPainter>

#include <cmath>

namespace orv {
namespace {

// How often the panel looks for a new picture: well under a frame's time,
// and a look costs one atomic read.
constexpr int kPollMs = 5;

void PaintPauseScreen(QWidget* w) {
  QPainter p(w);
  p.fillRect(w->rect(), Qt::black);
  p.setPen(Qt::white);
  p.setFont(w->font());
  const QFontMetrics m(w->font());
  // Positions are the texts' top-left corners.
  p.drawText(QPoint(45, 40 + m.ascent()), "----- PAUSE -----");
  p.drawText(QPoint(15, 70 + m.ascent()), "Press \"Play\" to continue");
}

}  // namespace

VideoPanel::VideoPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  poll_.setTimerType(Qt::PreciseTimer);
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &VideoPanel::TakeNewPicture);
}

void VideoPanel::SetPauseScreen(bool on) {
  pauseScreen_ = on;
  repaint();
}

void VideoPanel::ShowPictures(FrameChannel* channel) {
  channel_ = channel;
  picture_ = FramePicture();
  image_ = QImage();
  toldSize_ = QSize();
  if (channel_) {
    TellPanelSize();
    poll_.start();
  } else {
    poll_.stop();
  }
  update();
}

void VideoPanel::TellPanelSize() {
  if (!channel_) return;
  const qreal ratio = devicePixelRatioF();
  const QSize device(qRound(width() * ratio), qRound(height() * ratio));
  if (device == toldSize_) return;
  toldSize_ = device;
  channel_->SetPanelSize(device.width(), device.height());
}

void VideoPanel::TakeNewPicture() {
  TellPanelSize();  // also follows a move to a screen of another scale
  if (!channel_ || !channel_->TakeNewest(picture_.sequence, picture_)) return;
  image_ = QImage(picture_.pixels.data(), picture_.width, picture_.height, picture_.width * 4,
                  QImage::Format_RGB32);
  image_.setDevicePixelRatio(devicePixelRatioF());
  update();
}

void VideoPanel::resizeEvent(QResizeEvent*) { TellPanelSize(); }

void VideoPanel::paintEvent(QPaintEvent*) {
  if (pauseScreen_) {
    PaintPauseScreen(this);
    return;
  }
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (image_.isNull()) return;
  // The engine made the picture for this panel in device pixels: drawn as
  // it is, pixel for pixel. Only a panel resized since needs it scaled
  // here until the next picture arrives.
  QSizeF size = image_.deviceIndependentSize();
  const bool fits =
      (std::abs(size.width() - width()) < 1 && size.height() < height() + 1) ||
      (std::abs(size.height() - height()) < 1 && size.width() < width() + 1);
  if (!fits) {
    int w = 0, h = 0;
    FitPicture(double(image_.width()) / image_.height(), width(), height(), w, h);
    size = QSizeF(w, h);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  // On a whole device pixel, so a picture drawn as it is stays sharp.
  const qreal ratio = devicePixelRatioF();
  const QPointF corner(std::round((width() - size.width()) / 2 * ratio) / ratio,
                       std::round((height() - size.height()) / 2 * ratio) / ratio);
  p.drawImage(QRectF(corner, size), image_);
}

}  // namespace orv
