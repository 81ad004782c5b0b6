// What the preview player shows in the window: the Play button's face, the
// panel's pictures and pause screen, and the timer that notices an engine
// that has gone by itself.
#pragma once

#include <QTimer>
#include <functional>

#include "core/preview/preview_player.h"

namespace orv {

class SkinButton;
class VideoPanel;

class PreviewView : public PlayerView {
 public:
  // onTimer runs on each tick of the play timer while it runs.
  PreviewView(SkinButton* playButton, VideoPanel* panel, std::function<void()> onTimer);

  void SetPlayFace(bool running) override;
  void SetPauseScreen(bool on) override;
  void StartPlayTimer() override { timer_.start(); }
  void StopPlayTimer() override { timer_.stop(); }
  // The panel is painted by Qt, not a native window of its own: the line
  // names the window it sits in.
  unsigned long PanelWindowId() override;
  void ShowPictures(FrameChannel* channel) override;

 private:
  SkinButton* playButton_;
  VideoPanel* panel_;
  QTimer timer_;  // timer 1
};

}  // namespace orv
