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
  if (s == "source") {
    v.sizeMode = SizeMode::Source;
    return;
  }
  const auto x = s.find('x');
  if (x == 0) v.sizeMode = SizeMode::Height;
  v.width = static_cast<int>(ParseInteger(s.substr(0, x)).value_or(320));
  v.height = static_cast<int>(ParseInteger(s.substr(x + 1)).value_or(240));
}

VideoCodec VideoCodecOf(const std::string& lower) {
  if (lower == "h264") return VideoCodec::H264;
  if (lower == "hevc") return VideoCodec::Hevc;
  if (lower == "av1") return VideoCodec::Av1;
  if (lower == "vp9") return VideoCodec::Vp9;
  return VideoCodec::Mpeg4;
}

void ReadCodecs(const ConversionSettings& s, ItemValues& v) {
  const std::string format = AsciiLower(TrimBlanks(s.outputFormat));
  v.container = format == "mkv"    ? Container::Mkv
                : format == "webm" ? Container::Webm
                                   : Container::Mp4;
  v.videoCodec = VideoCodecOf(AsciiLower(TrimBlanks(s.videoCodec)));
  v.h264 = v.videoCodec == VideoCodec::H264;
  const std::string audio = AsciiLower(TrimBlanks(s.audioCodec));
  v.audioCodec = audio == "opus"                                   ? AudioCodec::Opus
                 : audio == "mp3" && v.container == Container::Mkv ? AudioCodec::Mp3
                                                                   : AudioCodec::Aac;
  v.crf = ParseCrf(s.videoBitrate).value_or(-1);
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
  ReadCodecs(s, v);
  ReadSize(s.videoSize, v);
  const std::string rate = TrimBlanks(s.videoFrameRate);
  v.frameRate = AsciiLower(rate) == "default" ? "" : rate;
  // A constant quality is no bitrate: the text stays off the command line.
  v.videoKbps = v.crf >= 0 ? std::string() : TrimBlanks(s.videoBitrate);
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
