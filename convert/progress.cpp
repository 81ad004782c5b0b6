#include "convert/progress.h"

#include <cmath>

namespace orv {

ProgressUpdate ComputeProgress(const SourceItem& item, int current, int count, double p) {
  ProgressUpdate update;
  if (count <= 0 || current < 1 || current > count || !std::isfinite(p)) return update;
  double total = item.clipEnabled ? item.clipEndSeconds - item.clipStartSeconds : item.duration;
  if (p > total) total = item.duration;
  if (!(p > 0 && p <= total)) return update;
  const int itemPercent = static_cast<int>(p * (100 / total));
  const int listPercent = (current * 100 - 100) / count + itemPercent / count;
  if (listPercent != 0) update.listPercent = listPercent;
  if (itemPercent != 0) update.itemPercent = itemPercent;
  return update;
}

}  // namespace orv
