// The playback position slider: a bitmap channel and thumb showing a time in
// seconds. It moves only when the user drags it or the window sets it.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>

#include "core/preview/slider_math.h"

namespace orv {

// Message ids the slider posts to its parent.
inline constexpr int kMsgPositionDragged = 0x28d1;
inline constexpr int kMsgPositionReleased = 0x28d2;

// keyColour value meaning "take the key colour from pixel (keyX, keyY)".
inline constexpr uint32_t kKeyFromPixel = 0xff000000u;

class PositionSlider : public QWidget {
  Q_OBJECT
 public:
  PositionSlider(int id, QWidget* parent);

  // Resource ids of the skin images; 0 for the normal id removes the
  // bitmaps, 0 for the active id means none. keyColour is 0xRRGGBB.
  bool SetChannelBitmaps(int normalId, int activeId, bool transparent, uint32_t keyColour, int keyX,
                         int keyY);
  bool SetThumbBitmaps(int normalId, int activeId, bool transparent, uint32_t keyColour, int keyX,
                       int keyY);
  void SetRange(double min, double max, bool redraw);
  void SetMax(double max, bool redraw);
  void SetMin(double min, bool redraw);
  void SetPos(double value);
  double GetPos() const { return pos_; }
  double GetMax() const { return track_.maxValue; }
  double GetMin() const { return track_.minValue; }
  void SetMargins(int left, int top, int right, int bottom);
  void SetDrawFocusRect(bool on, bool redraw);

  int id() const { return id_; }
  bool dragging() const { return dragging_; }
  int ThumbCentre() const { return track_.PixelOf(pos_); }

 signals:
  // Delivered queued, as posted messages are: (control id, position truncated).
  void positionDragged(int id, int position);
  void positionReleased(int id, int position);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;

 private:
  struct Face {
    QPixmap normal, active;
    bool transparent = false;
    bool Loaded() const { return !normal.isNull(); }
  };
  static bool LoadFace(Face& face, int normalId, int activeId, bool transparent, uint32_t keyColour,
                       int keyX, int keyY);
  void DragTo(int x);

  int id_;
  PositionTrack track_;
  double pos_ = 0.0;
  int height_ = 0;
  int thumbHeight_ = 0;
  int marginTop_ = 0;
  int marginBottom_ = 0;
  int mouseOffset_ = 0;
  bool dragging_ = false;
  bool hasFocus_ = false;
  bool drawFocusRect_ = true;
  Face channel_, thumb_;
};

}  // namespace orv
