// The preview picture: a native child window the engine draws into.
#pragma once

#include <QWidget>

namespace orv {

class VideoPanel : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPanel(QWidget* parent);
  // The still screen shown while playback is paused.
  void SetPauseScreen(bool on);
  bool PauseScreen() const { return pauseScreen_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool pauseScreen_ = false;
};

}  // namespace orv
