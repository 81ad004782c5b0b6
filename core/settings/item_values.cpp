#include "core/settings/item_values.h"

#include "platform/text.h"

namespace orv {
namespace {

ChannelMode ChannelOf(const std::string& lower) {
  if (lower == "left stereo") return ChannelMode::LeftStereo;
  if (lower == "right stereo") return ChannelMode::RightStereo;
  if (lower == "left mono") return ChannelMode::LeftMono;
  if (lower == "right mono") return ChannelMode::RightMono;
  if (lower == "mixed mono") return ChannelMode::MixedMono;
  return ChannelMode::Default;
}

void ReadSize(const std::string& text, ItemValues& v) {
  const std::string s = AsciiLower(TrimBlanks(text));
  const auto x = s.find('x');
  v.width = static_cast<int>(ParseInteger(s.substr(0, x)).value_or(320));
  v.height = static_cast<int>(ParseInteger(s.substr(x + 1)).value_or(240));
}

}  // namespace

std::optional<ItemValues> ParseItemValues(const ConversionSettings& s, FieldProblem* problem) {
  if (auto found = CheckSettingsTexts(s)) {
    if (problem) *problem = *found;
    return std::nullopt;
  }
  ItemValues v;
  v.mp3 = AsciiLower(TrimBlanks(s.outputFormat)) == "mp3";
  v.videoKept = s.videoDisabled == "no";
  v.audioKept = s.audioDisabled == "no";
  v.h264 = AsciiLower(TrimBlanks(s.videoCodec)) == "h264";
  ReadSize(s.videoSize, v);
  const std::string rate = TrimBlanks(s.videoFrameRate);
  v.frameRate = AsciiLower(rate) == "default" ? "" : rate;
  v.videoKbps = TrimBlanks(s.videoBitrate);
  v.audioKbps = TrimBlanks(s.audioBitrate);
  v.sampleRate = TrimBlanks(s.audioSampleRate);
  v.quantizerMin = TrimBlanks(s.quantizerMin);
  v.quantizerMax = TrimBlanks(s.quantizerMax);
  v.channel = ChannelOf(AsciiLower(TrimBlanks(s.audioChannel)));
  const std::string volume = TrimBlanks(s.audioVolume);
  v.volume = AsciiLower(volume) == "default"     ? VolumeKind::Default
             : AsciiLower(volume) == "normalize" ? VolumeKind::Normalize
                                                 : VolumeKind::Gain;
  if (v.volume == VolumeKind::Gain) v.gainDb = volume;
  v.split = SplitText(s.splitMode);
  return v;
}

}  // namespace orv
