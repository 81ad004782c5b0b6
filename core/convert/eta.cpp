#include "core/convert/eta.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orv {
namespace {

// Less converting than this gives no estimate (unless an item has ended):
// the first moments of an engine tell little about its pace.
constexpr double kMinimumMeasuredSeconds = 0.5;

}  // namespace

double ItemWorkSeconds(const SourceItem& item) {
  const double seconds =
      item.clipEnabled ? item.clipEndSeconds - item.clipStartSeconds : item.duration;
  return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
}

RunEstimate::RunEstimate(std::vector<double> itemSeconds) : work_(std::move(itemSeconds)) {}

void RunEstimate::FinishCurrent(double now) {
  if (current_ < 1) return;
  // An item that ended counts whole, even one cut short by a failure: what
  // is left is measured on the others.
  finishedMedia_ += work_[static_cast<std::size_t>(current_ - 1)];
  busyTime_ += now - itemStart_;
}

void RunEstimate::Update(double now, int current, double position) {
  now_ = std::max(now, now_);
  if (current != current_ && current >= 1 && current <= count()) {
    if (current > current_) {
      FinishCurrent(now_);
      // Items passed over (their outputs existed) cost nothing and are done.
      for (int skipped = std::max(current_ + 1, 1); skipped < current; ++skipped)
        skippedMedia_ += work_[static_cast<std::size_t>(skipped - 1)];
      current_ = current;
      itemStart_ = now_;
      position_ = 0;
      itemProgressed_ = false;
    }
  }
  if (current_ < 1 || current != current_ || !std::isfinite(position) || position <= 0) return;
  const double total = work_[static_cast<std::size_t>(current_ - 1)];
  if (!itemProgressed_) {
    itemProgressed_ = true;
    startupTime_ += now_ - itemStart_;
    ++startups_;
  }
  position_ = std::max(position_, std::min(position, total));
}

double RunEstimate::MediaDone() const { return finishedMedia_ + position_; }

std::optional<double> RunEstimate::SecondsLeft() const {
  if (current_ < 1) return std::nullopt;
  const double startup = startups_ ? startupTime_ / startups_ : 0.0;
  // Converting time: the wall time of the items without their start-ups.
  const double running = itemProgressed_ ? now_ - itemStart_ : 0.0;
  const double converting = busyTime_ + running - startupTime_;
  const double done = MediaDone();
  if ((converting < kMinimumMeasuredSeconds && finishedMedia_ <= 0) || converting <= 0 || done <= 0)
    return std::nullopt;
  const double speed = done / converting;  // media seconds per wall second

  double media = 0;
  for (std::size_t i = 0; i < work_.size(); ++i) media += work_[i];
  const double mediaLeft = std::max(0.0, media - done - skippedMedia_);
  // Every item after this one starts an engine; this one too when it has not
  // shown a position yet (minus what it has waited already).
  double startupsLeft = startup * static_cast<double>(count() - current_);
  if (!itemProgressed_) startupsLeft += std::max(0.0, startup - (now_ - itemStart_));
  return mediaLeft / speed + startupsLeft;
}

std::string DurationText(double seconds) {
  const long s = std::lround(std::max(0.0, seconds));
  char text[32];
  if (s < 60) {
    std::snprintf(text, sizeof text, "%ld s", s);
  } else if (s < 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  }
  return text;
}

std::string EstimateText(int current, int count, std::optional<double> secondsLeft) {
  std::string text = "Item " + std::to_string(current) + " of " + std::to_string(count);
  text += secondsLeft ? " - about " + DurationText(*secondsLeft) + " left" : " - estimating...";
  return text;
}

}  // namespace orv
