// The two process-wide settings and their settings file.
#pragma once

#include <cstddef>
#include <string>

namespace orv {

inline constexpr const char* kSettingsSection = "GENERAL";
inline constexpr const char* kOverWriteTypeKey = "OverWriteType";
inline constexpr const char* kOutputPathKey = "OutputPath";
inline constexpr std::size_t kOutputPathCapacity = 511;

enum OverWritePolicy { kOverwrite = 1, kAskBeforeOverwrite = 2, kSkipExisting = 3 };

struct AppSettings {
  int overWriteType = kOverwrite;
  std::string outputPath;  // ReadSettings gives the default folder

  // Output folder texts longer than the stored width are cut to it.
  void SetOutputPath(const std::string& path);
};

// Missing keys or file give the defaults; "OverWriteType" is read from its
// leading decimal digits (no digits give 0). The default output folder is the
// user's videos folder (UserVideosFolder): a folder the system empties at
// start, such as /tmp, would lose every output. It is made by the first run
// that writes to it.
AppSettings ReadSettings(const std::string& settingsFile);
// Writes "OverWriteType" then "OutputPath". Failures are ignored.
void WriteSettings(const AppSettings& settings, const std::string& settingsFile);

// The policy the run applies: 2 and 3 as they are, anything else as 1.
int EffectiveOverwritePolicy(int overWriteType);

}  // namespace orv
