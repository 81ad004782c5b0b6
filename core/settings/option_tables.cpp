#include "core/settings/option_tables.h"

namespace orv {

std::vector<std::string> SplitOptionList(const std::string& list) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t bar = list.find('|'); bar != std::string::npos; bar = list.find('|', start)) {
    out.push_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  return out;
}

const char* VideoBitrateOptions(const std::string& videoCodec) {
  if (videoCodec == "h264") return options::kBitrateH264;
  if (videoCodec == "hevc") return options::kBitrateHevc;
  if (videoCodec == "av1") return options::kBitrateAv1;
  if (videoCodec == "vp9") return options::kBitrateVp9;
  return options::kBitrateMpeg4;
}

bool IsVideoFormat(const std::string& format) {
  return format == "mp4" || format == "mkv" || format == "webm";
}

RowSet RowsFor(int profile, const std::string& format, const std::string& videoCodec) {
  bool mp3 = profile == 3 || (profile == kCustomizedProfile && format == "mp3");
  RowSet r;
  if (mp3) {
    r.formatList = options::kFormatMp3;
    r.audioCodecList = options::kAudioCodecMp3;
    return r;
  }
  bool h264 = profile == 2 || (profile == kCustomizedProfile && videoCodec == "h264");
  const bool custom = profile == kCustomizedProfile && format != "mp4" && IsVideoFormat(format);
  r.formatList = custom ? format + "|" : options::kFormatMp4;
  r.audioCodecList = options::kAudioCodecAac;
  const bool newCodec = profile == kCustomizedProfile &&
                        (videoCodec == "hevc" || videoCodec == "av1" || videoCodec == "vp9");
  r.videoCodecList = newCodec ? videoCodec + "|" : h264 ? options::kCodecH264 : options::kCodecMpeg4;
  r.videoBitrateList =
      profile == kCustomizedProfile ? VideoBitrateOptions(videoCodec) : VideoBitrateOptions(h264 ? "h264" : "");
  r.videoRows = true;
  r.quantizerRows = h264;
  return r;
}

std::string ProfileExtension(int profile) { return profile == 3 ? "mp3" : "mp4"; }

void ApplyNewItemDefaults(int profile, ConversionSettings& s) {
  s.outputFormat = ProfileExtension(profile);
  s.videoCodec = profile == 2 ? "h264" : "MPEG4";
  s.videoSize = profile == 1 ? "640x480" : "320x240";
  s.audioCodec = profile == 3 ? "mp3" : "aac";
  s.quantizerMin = "1";
  s.quantizerMax = "31";
  s.splitMode = "Not split";
  s.videoFrameRate = "default";
  s.videoBitrate = "1200";
  s.videoDisabled = "no";
  s.audioSampleRate = "44100";
  s.audioBitrate = "128";
  s.audioChannel = "default";
  s.audioVolume = "default";
  s.audioDisabled = "no";
}

}  // namespace orv
