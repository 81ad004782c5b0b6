// The settings of one item as checked values: what the command-line
// builders take. A text becomes an ItemValues only through ParseItemValues,
// so a text that is not a value cannot reach a command line. Numbers keep
// the text they were given in ("14.985", "+5"), which the lines carry.
#pragma once

#include <optional>
#include <string>

#include "core/settings/conversion_settings.h"
#include "core/settings/settings_check.h"

namespace orv {

enum class ChannelMode { Default, LeftStereo, RightStereo, LeftMono, RightMono, MixedMono };
enum class VolumeKind { Default, Normalize, Gain };
// The formats that carry video; an mp3 output is the `mp3` flag.
enum class Container { Mp4, Mkv, Webm };
enum class VideoCodec { Mpeg4, H264, Hevc, Av1, Vp9 };
enum class AudioCodec { Aac, Mp3, Opus };
// Box: fit into width x height and pad; Source: the source's own size;
// Height: `height` lines, the width following the source's aspect.
enum class SizeMode { Box, Source, Height };

struct ItemValues {
  bool mp3 = false;        // output format mp3 (else mp4)
  bool videoKept = true;   // "Video disabled" is "no"
  bool audioKept = true;   // "Audio disabled" is "no"
  bool h264 = false;       // video codec h264 (else MPEG-4)
  Container container = Container::Mp4;
  VideoCodec videoCodec = VideoCodec::Mpeg4;
  // In an mp4 output "mp3" is a label of the AAC track (the built-in
  // profiles' lines); only Matroska stores MP3 sound.
  AudioCodec audioCodec = AudioCodec::Aac;
  int crf = -1;            // constant quality; -1: the bitrate videoKbps
  SizeMode sizeMode = SizeMode::Box;
  int width = 320, height = 240;
  std::string frameRate;   // frames per second; "" keeps the source's rate
  std::string videoKbps = "1200", audioKbps = "128", sampleRate = "44100";
  std::string quantizerMin = "1", quantizerMax = "31";
  ChannelMode channel = ChannelMode::Default;
  VolumeKind volume = VolumeKind::Default;
  std::string gainDb;      // for VolumeKind::Gain
  std::string split;       // "" unsplit; else "650mb", "00:10:00" (lower case, no blanks)
};

// The values of these settings, or nothing with *problem saying which field
// is not a value (the clip is not looked at: see CheckSettings).
std::optional<ItemValues> ParseItemValues(const ConversionSettings& settings,
                                          FieldProblem* problem = nullptr);

}  // namespace orv
