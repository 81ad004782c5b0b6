// The video panel: paints the pictures the engine's player publishes in the
// picture channel (on X11 and Wayland alike, sharp at any scale factor, as
// the engine scales them to the panel's size in device pixels), black
// around them, and the pause screen while playback is paused.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "shared/frame_channel.h"

namespace orv {

class VideoPanel : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPanel(QWidget* parent);
  // The still screen shown while playback is paused; repaints the panel.
  void SetPauseScreen(bool on);
  bool PauseScreen() const { return pauseScreen_; }
  // Shows the pictures published in channel from now on; null: none, the
  // panel goes black.
  void ShowPictures(FrameChannel* channel);
  // The picture shown now (null when none).
  const QImage& Picture() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void TellPanelSize();
  void TakeNewPicture();

  bool pauseScreen_ = false;
  FrameChannel* channel_ = nullptr;
  QTimer poll_;
  FramePicture picture_;
  QImage image_;
  QSize toldSize_;
};

}  // namespace orv
