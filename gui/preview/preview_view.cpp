#include "gui/preview/preview_view.h"

#include "gui/preview/video_panel.h"
#include "gui/skin/skin_button.h"

namespace orv {

PreviewView::PreviewView(SkinButton* playButton, VideoPanel* panel, std::function<void()> onTimer)
    : playButton_(playButton), panel_(panel) {
  timer_.setInterval(kPlayTimerMs);
  QObject::connect(&timer_, &QTimer::timeout, [onTimer = std::move(onTimer)] { onTimer(); });
}

void PreviewView::SetPlayFace(bool running) {
  if (!playButton_) return;
  playButton_->SetAlternate(running);
  playButton_->repaint();
}

void PreviewView::SetPauseScreen(bool on) { panel_->SetPauseScreen(on); }

unsigned long PreviewView::PanelWindowId() {
  return static_cast<unsigned long>(panel_->effectiveWinId());
}

void PreviewView::ShowPictures(FrameChannel* channel) { panel_->ShowPictures(channel); }

}  // namespace orv
