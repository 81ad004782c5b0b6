#include "core/preview/video_info.h"

#include "platform/installation.h"
#include "core/settings/time_text.h"

namespace orv {

std::string LastPathPart(const std::string& path) {
  const auto slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string AfterLastPoint(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

std::vector<VideoInfoRow> VideoInfoRows(const SourceItem& item) {
  const std::string sourceName = LastPathPart(item.sourcePath);
  std::vector<VideoInfoRow> rows = {
      {20, "Source file name: " + sourceName},
      {40, "Source file format: " + AfterLastPoint(sourceName)},
      {60, "Source file path: " + item.sourcePath},
      {100, "Destination: " + LastPathPart(item.outputPath)},
      {120, "Destination path: " + item.outputPath},
      {140, "Destination format: " + item.outputFormat},
      {180, "Duration: " + FormatTime(item.duration)},
      {220, std::string("Clip Source file: ") + (item.clipEnabled ? "yes" : "no")},
  };
  if (item.clipEnabled) {
    rows.push_back({240, "Clip duration: " + FormatTime(item.clipEndSeconds - item.clipStartSeconds)});
    rows.push_back({260, "Start time: " + item.clipStartText});
    rows.push_back({280, "End time: " + item.clipEndText});
  }
  return rows;
}

}  // namespace orv
