#include "preview/video_panel.h"

#include <QPainter>
#include <QWindow>

namespace orv {
namespace {

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

class PauseOverlay : public QWidget {
 public:
  explicit PauseOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override { PaintPauseScreen(this); }
};

}  // namespace

VideoPanel::VideoPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_OpaquePaintEvent);
  pauseOverlay_ = new PauseOverlay(this);
  pauseOverlay_->hide();
}

void VideoPanel::SetPauseScreen(bool on) {
  pauseScreen_ = on;
  pauseOverlay_->setGeometry(rect());
  if (on) {
    pauseOverlay_->show();
    // Above the engine's window too, which Qt does not know of: QWidget's
    // raise() does nothing for its only child, so ask the window system.
    if (QWindow* w = pauseOverlay_->windowHandle()) w->raise();
    pauseOverlay_->repaint();
  } else {
    pauseOverlay_->hide();
  }
  repaint();
}

void VideoPanel::resizeEvent(QResizeEvent*) { pauseOverlay_->setGeometry(rect()); }

void VideoPanel::paintEvent(QPaintEvent*) {
  if (pauseScreen_) {
    PaintPauseScreen(this);
    return;
  }
  QPainter p(this);
  p.fillRect(rect(), QColor(2, 1, 0));
}

}  // namespace orv
