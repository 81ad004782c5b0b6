// The progress of a run converting several items at once: the item bar
// follows the item that started first among those running, the list bar and
// the time left the whole run, in seconds of media done over seconds of
// media to convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/convert/batch_run.h"

namespace orv {

struct RunProgressView {
  int first = 0;  // item numbers running, lowest and highest (0: none)
  int last = 0;
  int itemPercent = 0;
  int listPercent = 0;
  std::optional<double> secondsLeft;
};

class RunProgress {
 public:
  // The seconds of media of each item of the list; 0 for an item the run
  // leaves alone.
  explicit RunProgress(std::vector<double> itemSeconds);
  // One look: `now` seconds since the run started, the items running (in
  // the order they started) and the seconds of the items finished with.
  RunProgressView Update(double now, const std::vector<RunningItem>& running,
                         double finishedSeconds) const;
  int count() const { return static_cast<int>(work_.size()); }

 private:
  std::vector<double> work_;
  double total_ = 0;
};

// "Items 3–4 of 12 - about 1:12 left"; one item running reads as ever
// ("Item 3 of 12 - …").
std::string RangeEstimateText(int first, int last, int count, std::optional<double> secondsLeft);
// "Items 3–4" or "Item 3".
std::string ItemRangeText(int first, int last);

}  // namespace orv
