// How long the rest of a batch run will take: measured from the run itself,
// in seconds of media converted per second of wall time, plus what starting
// each engine costs, over the durations of the items still to convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/settings/source_item.h"

namespace orv {

// The seconds of media an item converts: its clip when trimmed, else its
// whole length.
double ItemWorkSeconds(const SourceItem& item);

class RunEstimate {
 public:
  explicit RunEstimate(std::vector<double> itemSeconds);

  // One look at the run: `now` seconds since it started, the 1-based item
  // being converted (0: none yet) and the engine's position in it (negative:
  // none yet).
  void Update(double now, int current, double position);

  // Seconds left for the whole list; nothing until enough has been measured
  // (half a second of converting with a position, or an item ended).
  std::optional<double> SecondsLeft() const;
  int current() const { return current_; }
  int count() const { return static_cast<int>(work_.size()); }

 private:
  void FinishCurrent(double now);
  // Seconds converted so far, counting the running item's position.
  double MediaDone() const;

  std::vector<double> work_;
  double now_ = 0;
  int current_ = 0;
  double itemStart_ = 0;
  double position_ = 0;       // furthest position of the running item
  bool itemProgressed_ = false;
  double finishedMedia_ = 0;  // seconds of the items finished
  double skippedMedia_ = 0;   // seconds of the items passed over
  double busyTime_ = 0;       // wall time of the items finished
  double startupTime_ = 0;    // of those: from the item's start to its first position
  int startups_ = 0;          // items whose start-up was measured
};

// "42 s", "4:07", "1:05:03".
std::string DurationText(double seconds);

// "Item 2 of 7 - about 4:07 left" (or "- estimating..." before there is an
// estimate).
std::string EstimateText(int current, int count, std::optional<double> secondsLeft);

}  // namespace orv
