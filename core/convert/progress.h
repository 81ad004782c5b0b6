// The progress of the running item and of the whole list, from the engine's
// position.
#pragma once

#include <optional>

#include "core/settings/source_item.h"

namespace orv {

struct ProgressUpdate {
  std::optional<int> itemPercent;  // set only when it changes the bar
  std::optional<int> listPercent;
};

// currentItemNumber is 1-based; count is the number of items. A position not
// greater than 0, past the item's length, or not a number changes nothing.
ProgressUpdate ComputeProgress(const SourceItem& item, int currentItemNumber, int count,
                               double position);

}  // namespace orv
