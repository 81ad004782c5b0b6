#include "core/convert/progress.h"

#include <algorithm>
#include <cmath>

namespace orv {

ProgressUpdate ComputeProgress(const SourceItem& item, int current, int count, double p) {
  ProgressUpdate update;
  if (count <= 0 || current < 1 || current > count || !std::isfinite(p)) return update;
  double total = item.clipEnabled ? item.clipEndSeconds - item.clipStartSeconds : item.duration;
  if (p > total) total = item.duration;
  if (!(p > 0 && p <= total)) return update;
  // p <= total, so at most 100; the bound also keeps a duration so small that
  // 100 / total overflows to infinity from reaching the conversion.
  const int itemPercent = static_cast<int>(std::min(p * (100 / total), 100.0));
  const int listPercent = (current * 100 - 100) / count + itemPercent / count;
  if (listPercent != 0) update.listPercent = listPercent;
  if (itemPercent != 0) update.itemPercent = itemPercent;
  return update;
}

}  // namespace orv
