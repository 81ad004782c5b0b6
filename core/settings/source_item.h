// One entry of the source list: a video file or a DVD title with its own
// conversion settings and output path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "core/settings/conversion_settings.h"

namespace orv {

struct SourceItem : ConversionSettings {
  virtual ~SourceItem() = default;

  std::string sourcePath;  // file path, or "DVD_DRIVE_" + drive letter
  std::string outputPath;  // output folder + '/' + name + '.' + outputFormat
  double duration = 0.0;
  int32_t spare = 0;
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
  int32_t isDvdTitle = 0;
  int32_t dvdAudioChannel = 0;
  int32_t dvdAudioStreamId = 0;
  int32_t dvdSubtitleId = 0;
  int32_t dvdLastChapter = 0;
  int32_t dvdFirstChapter = 0;
  int32_t dvdTitle = 0;
  int32_t profileIndex = 0;
};

// True for a DVD source text ("DVD_DRIVE_" + letter, any case).
inline bool IsDvdSource(const std::string& sourcePath) {
  if (sourcePath.size() != 11 || AsciiLower(sourcePath.substr(0, 10)) != "dvd_drive_") return false;
  const char letter = AsciiLower(sourcePath.substr(10))[0];
  return letter >= 'a' && letter <= 'z';
}

// Row i of the list control shows items[i].
using ItemList = std::vector<std::unique_ptr<SourceItem>>;

}  // namespace orv
