// Pixel mapping, hit testing and drag rules of the two preview sliders,
// kept apart from the widgets so they can be checked without painting.
#pragma once

namespace orv {

// Edges are inclusive: a point on the shared edge of two touching thumbs
// belongs to both, and the first one tested wins.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
  int CentreX() const { return (left + right) / 2; }
  int CentreY() const { return (top + bottom) / 2; }
};

// The thumb track of the position slider.
struct PositionTrack {
  int width = 0;
  int thumbWidth = 0;
  int marginLeft = 0;
  int marginRight = 0;
  double minValue = 0.0;
  double maxValue = 100.0;

  int Length() const { return width - marginRight - thumbWidth - marginLeft; }
  int HalfThumb() const { return thumbWidth / 2; }
  // Thumb centre x of pos; an empty range or track puts it at the left end.
  int PixelOf(double pos) const;
  double PositionOf(int x) const;
  // x limited to the span the thumb centre can reach.
  int ClampCentre(int x) const;
};

// The clip range slider's values and the rules that move them.
class RangeSliderModel {
 public:
  enum Part { kLeftThumb = 0, kRightThumb = 1, kMiddleBand = 2 };

  void SetMinMax(double min, double max);
  void SetSelection(double start, double end);
  double GetLeft() const { return left_; }
  double GetRight() const { return right_; }
  double RangeMin() const { return rangeMin_; }
  double RangeMax() const { return rangeMax_; }

  // Recomputes the thumb width, track length and thumb rectangles for a
  // client area of that size.
  void Layout(int clientWidth, int clientHeight);
  int ArrowWidth() const { return arrowWidth_; }
  int TrackLength() const { return trackLength_; }
  int LeftPixel() const;
  int RightPixel() const;
  const PixelRect& LeftThumbRect() const { return leftThumb_; }
  const PixelRect& RightThumbRect() const { return rightThumb_; }
  PixelRect MiddleBandRect() const;

  // A left-button press; true when it grabbed a part.
  bool Press(int x, int y);
  // A pointer move while tracking; the notification's wParam.
  int Move(int x);
  void Release() { tracking_ = false; }
  bool Tracking() const { return tracking_; }
  Part TrackedPart() const { return trackedPart_; }

  // Left or Right arrow; the notification's wParam (sent even when nothing
  // moved), or -1 when the key does nothing.
  int ArrowKey(bool right, bool shift);

 private:
  void Normalise();

  double rangeMin_ = 0.0;
  double rangeMax_ = 1.0;
  double left_ = 0.0;
  double right_ = 1.0;
  int arrowWidth_ = 10;
  int trackLength_ = 0;
  int clientHeight_ = 0;
  PixelRect leftThumb_, rightThumb_;
  bool tracking_ = false;
  Part trackedPart_ = kLeftThumb;
  int grabOffsetX_ = 0;
  int grabOffsetY_ = 0;
};

}  // namespace orv
