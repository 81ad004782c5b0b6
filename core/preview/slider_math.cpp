#include "core/preview/slider_math.h"

#include <algorithm>
#include <cmath>

namespace orv {

int PositionTrack::PixelOf(double pos) const {
  const double span = maxValue - minValue;
  const int start = HalfThumb() + marginLeft;
  if (span == 0.0 || Length() <= 0) return start;
  // A position dragged to pixel x comes back as x less a rounding error of
  // the division (x = 150 of 159 gives 149.99999999999997), and truncation
  // would put the thumb a pixel short of where it was dropped. The allowance
  // is far below a pixel, so every other position truncates as before.
  constexpr double kRoundingAllowance = 1e-9;
  const double x = (pos - minValue) / span * Length() + start;
  return static_cast<int>(x + kRoundingAllowance * std::max(1.0, std::abs(x)));
}

double PositionTrack::PositionOf(int x) const {
  if (Length() <= 0) return minValue;
  return minValue +
         static_cast<double>(x - HalfThumb() - marginLeft) / Length() * (maxValue - minValue);
}

int PositionTrack::ClampCentre(int x) const {
  const int low = HalfThumb() + marginLeft;
  const int high = width - HalfThumb() - marginRight;
  return std::max(low, std::min(x, high));
}

void RangeSliderModel::SetMinMax(double min, double max) {
  if (min > max) std::swap(min, max);
  rangeMin_ = min;
  rangeMax_ = max;
  Normalise();
}

void RangeSliderModel::SetSelection(double start, double end) {
  left_ = start;
  right_ = end;
  Normalise();
}

void RangeSliderModel::Normalise() {
  if (left_ < rangeMin_) {
    left_ = rangeMin_;
    if (rangeMin_ > right_) right_ = rangeMin_;
  }
  if (right_ > rangeMax_) {
    right_ = rangeMax_;
    if (rangeMax_ < left_) left_ = rangeMax_;
  }
}

void RangeSliderModel::Layout(int clientWidth, int clientHeight) {
  arrowWidth_ = clientHeight * 3 / 4;
  trackLength_ = clientWidth - 2 * arrowWidth_;
  clientHeight_ = clientHeight;
  const int l = LeftPixel(), r = RightPixel();
  leftThumb_ = {l, 0, l + arrowWidth_, clientHeight};
  rightThumb_ = {r + arrowWidth_, 0, r + 2 * arrowWidth_, clientHeight};
}

int RangeSliderModel::LeftPixel() const {
  const double span = rangeMax_ - rangeMin_;
  if (span == 0.0) return 0;
  return static_cast<int>(trackLength_ * (left_ - rangeMin_) / span + 0.5);
}

int RangeSliderModel::RightPixel() const {
  const double span = rangeMax_ - rangeMin_;
  if (span == 0.0) return 0;
  return static_cast<int>(trackLength_ * (right_ - rangeMin_) / span + 0.5);
}

PixelRect RangeSliderModel::MiddleBandRect() const {
  return {leftThumb_.right + 1, 0, rightThumb_.left - 1, clientHeight_};
}

bool RangeSliderModel::Press(int x, int y) {
  if (tracking_) return false;
  const PixelRect band = MiddleBandRect();
  const PixelRect* hit = nullptr;
  if (leftThumb_.Contains(x, y)) {
    hit = &leftThumb_;
    trackedPart_ = kLeftThumb;
  } else if (rightThumb_.Contains(x, y)) {
    hit = &rightThumb_;
    trackedPart_ = kRightThumb;
  } else if (band.left <= band.right && band.Contains(x, y)) {
    hit = &band;
    trackedPart_ = kMiddleBand;
  }
  if (!hit) return false;
  tracking_ = true;
  grabOffsetX_ = x - hit->CentreX();
  grabOffsetY_ = y - hit->CentreY();
  return true;
}

int RangeSliderModel::Move(int x) {
  const double m = x - grabOffsetX_;
  const double span = rangeMax_ - rangeMin_;
  const double track = trackLength_ > 0 ? trackLength_ : 1;
  switch (trackedPart_) {
    case kLeftThumb:
      left_ = rangeMin_ + (m - arrowWidth_ / 2) / track * span;
      if (left_ >= right_) left_ = right_;
      if (left_ <= rangeMin_) left_ = rangeMin_;
      return 0;
    case kRightThumb: {
      const double before = right_;
      right_ = rangeMin_ + (m - arrowWidth_ * 3 / 2) / track * span;
      if (left_ >= right_) right_ = left_;
      if (right_ >= rangeMax_) right_ = rangeMax_;
      return right_ != before ? 1 : 0;
    }
    case kMiddleBand: {
      const double w = right_ - left_;
      const double d = (m - arrowWidth_) / track * span;
      left_ = rangeMin_ + d - w / 2;
      right_ = rangeMin_ + d + w / 2;
      if (rangeMin_ >= left_) {
        left_ = rangeMin_;
        right_ = rangeMin_ + w;
      }
      if (right_ >= rangeMax_) {
        right_ = rangeMax_;
        left_ = rangeMax_ - w;
      }
      return 2;
    }
  }
  return 0;
}

int RangeSliderModel::ArrowKey(bool right, bool shift) {
  if (trackLength_ <= 0) return -1;
  const double p = (rangeMax_ - rangeMin_) / trackLength_;
  if (p == 0.0) return -1;
  const int l0 = static_cast<int>((left_ - rangeMin_) / p + 0.5);
  const int r0 = static_cast<int>((right_ - rangeMin_) / p + 0.5);
  const int step = right ? 1 : -1;
  const int r = std::max(r0 + step, shift ? l0 : r0 + step);
  const int l = shift ? l0 : l0 + step;
  if (l >= 0 && r <= trackLength_) {
    left_ = rangeMin_ + l * p;
    right_ = rangeMin_ + r * p;
  }
  return shift ? 0 : 2;
}

}  // namespace orv
