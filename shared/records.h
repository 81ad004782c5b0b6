// Byte layouts of the status files shared by orvantic and orvantic-engine.
// Both programs include this header; nothing else may define these records.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

enum class EngineCommand : int32_t { Run = 0, Pause = 1, Stop = 2 };

// "vctrl.dat": written whole by the GUI, polled by the engine.
struct EngineControl {
  int32_t command = 0;  // EngineCommand
  uint8_t reserved[12] = {};
  float value16 = 1.0f;
  int32_t value20 = 0;
  int32_t value24 = 1;
  int32_t value28 = 0;
};
static_assert(sizeof(EngineControl) == 32);
static_assert(offsetof(EngineControl, value16) == 16);
static_assert(offsetof(EngineControl, value24) == 24);

inline constexpr int kMaxStreams = 128;
inline constexpr int kMaxTitles = 512;
inline constexpr int kNameBytes = 512;

// "videoinfo.dat": written whole by the engine in identify mode.
struct MediaInfo {
  double durationSeconds = 0.0;
  double reserved8 = 1.0;
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
  int32_t reserved24 = 0;
  int32_t titleCount = 0;
  int32_t chapterCounts[kMaxTitles] = {};
  int32_t audioStreamIds[kMaxStreams] = {};
  char audioStreamNames[kMaxStreams][kNameBytes] = {};
  char audioStreamLanguages[kMaxStreams][kNameBytes] = {};
  int32_t subtitleIds[kMaxStreams] = {};
  char subtitleNames[kMaxStreams][kNameBytes] = {};
};
static_assert(sizeof(MediaInfo) == 199712);
static_assert(offsetof(MediaInfo, videoWidth) == 16);
static_assert(offsetof(MediaInfo, titleCount) == 28);
static_assert(offsetof(MediaInfo, chapterCounts) == 32);
static_assert(offsetof(MediaInfo, audioStreamIds) == 2080);
static_assert(offsetof(MediaInfo, audioStreamNames) == 2592);
static_assert(offsetof(MediaInfo, audioStreamLanguages) == 68128);
static_assert(offsetof(MediaInfo, subtitleIds) == 133664);
static_assert(offsetof(MediaInfo, subtitleNames) == 134176);

// "vprog.dat": one little-endian double, the position in seconds.
inline constexpr std::size_t kPositionBytes = sizeof(double);

inline constexpr const char* kMediaInfoFile = "videoinfo.dat";
inline constexpr const char* kControlFile = "vctrl.dat";
inline constexpr const char* kPositionFile = "vprog.dat";

}  // namespace orv
