// Opening a source file, including headerless raw 4:2:0 .yuv files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/av_support.h"

namespace orv::engine {

inline constexpr int kDefaultYuvWidth = 352;
inline constexpr int kDefaultYuvHeight = 288;
inline constexpr int kYuvFps = 25;

// The last "WxH" in the file's base name ("clip_176x144.yuv" -> 176x144).
std::optional<std::pair<int, int>> SizeFromFileName(std::string_view path);

bool IsRawYuvName(std::string_view path);

// Opens and probes the file; throws EngineError on failure or when the file
// holds no usable audio or video stream.
InputPtr OpenSource(const std::string& path);

// Seconds: container duration, else longest stream, else (raw yuv) derived
// from the file size. 0 when unknown.
double SourceDuration(AVFormatContext* input, const std::string& path);

// The audio stream to use: -aid by stream id or by audio ordinal, else the
// best one; -1 when there is none.
int FindAudioStream(AVFormatContext* input, int aid);
// The video stream to use; cover art does not count. -1 when there is none.
int FindVideoStream(AVFormatContext* input);

// index, or -1 with a warning when the container's index lists packets for
// other streams but none for this one: a declared track that holds nothing
// (a camera's empty sound track) is left out of the output, as it has no
// length to keep. -1 stays -1.
int SkipEmptyStream(AVFormatContext* input, int index);

// Container start time in seconds (0 when unset).
double SourceStartTime(AVFormatContext* input);

}  // namespace orv::engine
