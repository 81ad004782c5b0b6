#include "settings/app_settings.h"

#include <charconv>

#include "platform/profile_file.h"
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
  return s;
}

void WriteSettings(const AppSettings& s, const std::string& file) {
  WriteProfileString(kSettingsSection, kOverWriteTypeKey, std::to_string(s.overWriteType), file);
  WriteProfileString(kSettingsSection, kOutputPathKey, s.outputPath, file);
}

int EffectiveOverwritePolicy(int t) {
  return (t == kAskBeforeOverwrite || t == kSkipExisting) ? t : kOverwrite;
}

}  // namespace orv
