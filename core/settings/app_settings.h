// The two process-wide settings and their settings file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace orv {

inline constexpr const char* kSettingsSection = "GENERAL";
inline constexpr const char* kOverWriteTypeKey = "OverWriteType";
inline constexpr const char* kOutputPathKey = "OutputPath";
inline constexpr std::size_t kOutputPathCapacity = 511;
// How many items a run converts at the same time: 1 (or missing) one after
// another, 0 ("auto") automatic.
inline constexpr const char* kSimultaneousKey = "SimultaneousConversions";
inline constexpr int kMaxSimultaneous = 16;

enum OverWritePolicy { kOverwrite = 1, kAskBeforeOverwrite = 2, kSkipExisting = 3 };

struct AppSettings {
  int overWriteType = kOverwrite;
  std::string outputPath;  // ReadSettings gives the default folder
  int simultaneous = 1;    // 0: automatic

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

// Stores "SimultaneousConversions" alone (only a user's choice writes it).
void WriteSimultaneous(int simultaneous, const std::string& settingsFile);
// "auto", "automatic" or "0": 0; "1" to "16": that number; anything else:
// nothing.
std::optional<int> ParseSimultaneous(const std::string& text);
// The number of items converted at once: the setting, or when automatic,
// the choice for `cores` processor cores: one engine keeps one and a half
// to two cores busy on a job, but leaves them idle while it starts, probes
// and muxes, so two at once pay even on two cores; past that, one per two
// cores, at most eight.
int JobsFor(int simultaneous, unsigned cores);

// The policy the run applies: 2 and 3 as they are, anything else as 1.
int EffectiveOverwritePolicy(int overWriteType);

}  // namespace orv
