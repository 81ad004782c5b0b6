#include "core/settings/app_settings.h"

#include <algorithm>
#include <charconv>

#include "platform/ini_file.h"
#include "platform/user_folders.h"

namespace orv {

void AppSettings::SetOutputPath(const std::string& path) {
  outputPath = path.substr(0, kOutputPathCapacity);
}

AppSettings ReadSettings(const std::string& file) {
  AppSettings s;
  std::string type = GetProfileString(kSettingsSection, kOverWriteTypeKey, "1", file);
  std::size_t start = (!type.empty() && (type[0] == '-' || type[0] == '+')) ? 1 : 0;
  int value = 0;
  auto [ptr, ec] = std::from_chars(type.data() + start, type.data() + type.size(), value);
  s.overWriteType = (ec == std::errc() && ptr != type.data() + start)
                        ? (type[0] == '-' ? -value : value)
                        : 0;
  const std::string path = GetProfileString(kSettingsSection, kOutputPathKey, "", file);
  s.SetOutputPath(path.empty() ? UserVideosFolder() : path);
  // Without the key, one item after another, the run as it has always
  // been; a value that is not a number of conversions is taken as that too.
  s.simultaneous = ParseSimultaneous(GetProfileString(kSettingsSection, kSimultaneousKey, "1", file))
                       .value_or(1);
  return s;
}

void WriteSimultaneous(int simultaneous, const std::string& file) {
  WriteProfileString(kSettingsSection, kSimultaneousKey,
                     simultaneous == 0 ? "auto" : std::to_string(simultaneous), file);
}

std::optional<int> ParseSimultaneous(const std::string& text) {
  if (text == "auto" || text == "automatic" || text == "0") return 0;
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || value < 1 || value > kMaxSimultaneous)
    return std::nullopt;
  return value;
}

int JobsFor(int simultaneous, unsigned cores) {
  if (simultaneous >= 1) return std::min(simultaneous, kMaxSimultaneous);
  if (cores <= 1) return 1;
  return std::clamp(static_cast<int>(cores / 2), 2, 8);
}

void WriteSettings(const AppSettings& s, const std::string& file) {
  WriteProfileString(kSettingsSection, kOverWriteTypeKey, std::to_string(s.overWriteType), file);
  WriteProfileString(kSettingsSection, kOutputPathKey, s.outputPath, file);
}

int EffectiveOverwritePolicy(int t) {
  return (t == kAskBeforeOverwrite || t == kSkipExisting) ? t : kOverwrite;
}

}  // namespace orv
