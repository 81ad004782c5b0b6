// What the video information dialog shows for an item: the texts and the
// top of each row, derived once when the dialog opens. No widgets here.
#pragma once

#include <string>
#include <vector>

#include "core/settings/source_item.h"

namespace orv {

inline constexpr const char* kVideoInfoCaption = "Video information";
inline constexpr int kVideoInfoRowHeight = 20;

struct VideoInfoRow {
  int top;
  std::string text;
};

// The part after the last separator (the whole text without one).
std::string LastPathPart(const std::string& path);
// The part after the last point (the whole name without one).
std::string AfterLastPoint(const std::string& name);

// The rows, top to bottom; the three clip rows only with the clip flag set.
std::vector<VideoInfoRow> VideoInfoRows(const SourceItem& item);

}  // namespace orv
