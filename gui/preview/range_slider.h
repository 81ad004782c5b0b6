// The clip range slider: two thumbs and the band between them, drawn with
// plain shapes.
#pragma once

#include <QWidget>

#include "core/preview/slider_math.h"

namespace orv {

// Sent to the parent whenever the clip range was moved.
inline constexpr int kMsgClipRangeChanged = 0x81b;

class RangeSlider : public QWidget {
  Q_OBJECT
 public:
  explicit RangeSlider(QWidget* parent);

  void SetMinMax(double min, double max);
  void SetSelection(double start, double end);
  double GetLeft() const { return model_.GetLeft(); }
  double GetRight() const { return model_.GetRight(); }
  const RangeSliderModel& model() const { return model_; }

 signals:
  // Connected directly: the receiver runs before the slider goes on, as a
  // sent message does. wParam as the model reports it.
  void clipRangeChanged(int wParam);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void focusInEvent(QFocusEvent*) override { update(); }
  void focusOutEvent(QFocusEvent*) override { update(); }

 private:
  void Relayout() { model_.Layout(width(), height()); }
  void DrawThumb(QPainter& p, const PixelRect& r, bool dragged) const;

  RangeSliderModel model_;
};

}  // namespace orv
