#include "core/convert/run_progress.h"

#include <algorithm>
#include <cmath>

#include "core/convert/eta.h"

namespace orv {

RunProgress::RunProgress(std::vector<double> itemSeconds) : work_(std::move(itemSeconds)) {
  for (double& w : work_) {
    if (!std::isfinite(w) || w < 0) w = 0;
    total_ += w;
  }
}

RunProgressView RunProgress::Update(double now, const std::vector<RunningItem>& running,
                                    double finishedSeconds) const {
  RunProgressView view;
  double done = std::isfinite(finishedSeconds) ? std::max(finishedSeconds, 0.0) : 0.0;
  for (const RunningItem& r : running) {
    if (r.itemNumber < 1 || r.itemNumber > count()) continue;
    const double work = work_[static_cast<std::size_t>(r.itemNumber - 1)];
    const double part = std::isfinite(r.position) ? std::clamp(r.position, 0.0, work) : 0.0;
    done += part;
    view.first = view.first == 0 ? r.itemNumber : std::min(view.first, r.itemNumber);
    view.last = std::max(view.last, r.itemNumber);
  }
  if (!running.empty()) {
    const RunningItem& oldest = running.front();
    if (oldest.itemNumber >= 1 && oldest.itemNumber <= count()) {
      const double work = work_[static_cast<std::size_t>(oldest.itemNumber - 1)];
      if (work > 0 && oldest.position > 0)
        view.itemPercent = static_cast<int>(std::min(oldest.position / work, 1.0) * 100);
    }
  }
  done = std::min(done, total_);
  if (total_ > 0) view.listPercent = static_cast<int>(done / total_ * 100);
  // The whole run's pace so far: media seconds per second, over what is left.
  if (now >= 0.5 && done > 0) view.secondsLeft = (total_ - done) * now / done;
  return view;
}

std::string ItemRangeText(int first, int last) {
  if (last <= first) return "Item " + std::to_string(first);
  return "Items " + std::to_string(first) + "\u2013" + std::to_string(last);
}

std::string RangeEstimateText(int first, int last, int count, std::optional<double> secondsLeft) {
  std::string text = ItemRangeText(first, last) + " of " + std::to_string(count);
  text += secondsLeft ? " - about " + DurationText(*secondsLeft) + " left" : " - estimating...";
  return text;
}

}  // namespace orv
