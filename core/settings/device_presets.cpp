#include "core/settings/device_presets.h"

#include "core/settings/option_tables.h"

namespace orv {
namespace {

inline constexpr const char* kPresetSizes = "source|x2160|x1080|x720|x480|";

struct PresetValues {
  const char* name;
  const char* format;
  const char* videoCodec;
  const char* size;
  const char* videoBitrate;  // kbit/s or "CRF n"
  const char* audioCodec;    // as the row shows it: "AAC" or "opus"
  const char* sampleRate;
  const char* audioBitrate;
};

// Constant quality throughout: each codec at a quality its players show
// without visible loss at that size, sound at the rate those players expect.
constexpr PresetValues kPresets[] = {
    {"TV 1080p H.265", "mp4", "hevc", "x1080", "CRF 24", "AAC", "48000", "192"},
    {"Phone 1080p H.264", "mp4", "h264", "x1080", "CRF 23", "AAC", "48000", "128"},
    {"Web 720p VP9 WebM", "webm", "vp9", "x720", "CRF 33", "opus", "48000", "96"},
    {"Archive AV1 MKV (constant quality)", "mkv", "av1", "source", "CRF 30", "opus", "48000",
     "160"},
    {"Small 480p H.264", "mp4", "h264", "x480", "CRF 26", "AAC", "44100", "96"},
};

GridRows RowsOf(const PresetValues& p) {
  GridRows rows = BuildGridRows();
  const std::string format = p.format;
  rows[kRowFormat].options = format + "|";
  rows[kRowFormat].value = format;
  rows[kRowVideoCodec].options = std::string(p.videoCodec) + "|";
  rows[kRowVideoCodec].value = p.videoCodec;
  rows[kRowVideoSize].options = kPresetSizes;
  rows[kRowVideoSize].value = p.size;
  rows[kRowVideoBitrate].options = VideoBitrateOptions(p.videoCodec);
  rows[kRowVideoBitrate].value = p.videoBitrate;
  rows[kRowAudioCodec].options = std::string(p.audioCodec) + "|";
  rows[kRowAudioCodec].value = p.audioCodec;
  rows[kRowAudioSample].value = p.sampleRate;
  rows[kRowAudioBitrate].value = p.audioBitrate;
  return rows;
}

}  // namespace

std::vector<DevicePreset> DevicePresets() {
  std::vector<DevicePreset> presets;
  for (const PresetValues& p : kPresets) presets.push_back({p.name, RowsOf(p)});
  return presets;
}

std::string PresetFolder(const Installation& installation) {
  return JoinPath(installation.helpFolder.empty() ? installation.programFolder
                                                  : installation.helpFolder,
                  kPresetFolderName);
}

}  // namespace orv
