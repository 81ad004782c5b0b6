// The video panel: a native child window whose id the engine plays into.
// Filled with the key colour while playing; the pause screen is a native
// window of its own, raised above the engine's picture while it is shown
// (the engine's window would otherwise cover anything painted here).
#pragma once

#include <QWidget>

namespace orv {

class VideoPanel : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPanel(QWidget* parent);
  // The still screen shown while playback is paused; repaints the panel.
  void SetPauseScreen(bool on);
  bool PauseScreen() const { return pauseScreen_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  bool pauseScreen_ = false;
  QWidget* pauseOverlay_ = nullptr;
};

}  // namespace orv
