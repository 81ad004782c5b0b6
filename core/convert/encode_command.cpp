#include "core/convert/encode_command.h"

#include "core/link/engine_link.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/command_line.h"
#include "platform/text.h"
#include "core/settings/time_text.h"

namespace orv {
namespace {

constexpr const char* kMp4Tail =
    " -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames";

std::string CodecTemplate(const ItemValues& v) {
  if (v.h264) {
    std::string t = " -oac lavc -ovc lavc -lavcopts keyint=500:level=13:vqmin=" + v.quantizerMin +
                    ":vqmax=" + v.quantizerMax + ":vrc_maxrate=" + v.videoKbps +
                    ":vratetol=10:bit_exact:coder=0:aglobal=1:vglobal=1:vcodec=h264:";
    if (v.audioKept) {
      t += "acodec=aac:vbitrate=" + v.videoKbps + ":abitrate=" + v.audioKbps +
           ":v4mv:qpel:trell=lambda:mbd=1:vme=1 ";
    } else {
      t += "vbitrate=" + v.videoKbps + ":v4mv:qpel:trell=lambda:mbd=1:vme=1";
    }
    return t + kMp4Tail + " ";
  }
  const std::string mpeg4 = "vcodec=mpeg4:vbitrate=" + v.videoKbps +
                            ":mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1"
                            " -ffourcc mp4v";
  if (v.audioKept)
    return " -oac lavc -ovc lavc -lavcopts acodec=aac:abitrate=" + v.audioKbps + ":" + mpeg4 +
           kMp4Tail;
  return " -ovc lavc -lavcopts " + mpeg4 + kMp4Tail;
}

// The built-in profiles' templates serve MP4 with MPEG-4 or H.264 and AAC at a
// bitrate; every other output takes the line of ModernTemplate.
bool UsesProfileTemplate(const ItemValues& v) {
  return v.container == Container::Mp4 &&
         (v.videoCodec == VideoCodec::Mpeg4 || v.videoCodec == VideoCodec::H264) &&
         v.audioCodec == AudioCodec::Aac && v.crf < 0;
}

const char* VideoCodecName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::H264:
      return "h264";
    case VideoCodec::Hevc:
      return "hevc";
    case VideoCodec::Av1:
      return "av1";
    case VideoCodec::Vp9:
      return "vp9";
    case VideoCodec::Mpeg4:
      break;
  }
  return "mpeg4";
}

// The encoder speed each codec gets: libx264's and libx265's preset names,
// SVT-AV1's preset number, libvpx-vp9's cpu-used. "" for MPEG-4, which has
// no presets.
const char* EncoderPreset(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::H264:
      return "medium";
    case VideoCodec::Hevc:
      return "fast";
    case VideoCodec::Av1:
      return "8";
    case VideoCodec::Vp9:
      return "4";
    case VideoCodec::Mpeg4:
      break;
  }
  return "";
}

const char* AudioCodecName(AudioCodec codec) {
  return codec == AudioCodec::Opus ? "opus" : codec == AudioCodec::Mp3 ? "mp3" : "aac";
}

std::string MuxerTail(const ItemValues& v) {
  const char* format = v.container == Container::Mkv    ? "matroska"
                       : v.container == Container::Webm ? "webm"
                                                        : "mp4";
  return std::string(" -of lavf -lavfopts format=") + format + ":chapters ";
}

std::string ModernTemplate(const ItemValues& v) {
  std::string t = v.audioKept ? " -oac lavc -ovc lavc -lavcopts " : " -ovc lavc -lavcopts ";
  t += std::string("vcodec=") + VideoCodecName(v.videoCodec);
  t += v.crf >= 0 ? ":crf=" + std::to_string(v.crf) : ":vbitrate=" + v.videoKbps;
  if (const std::string preset = EncoderPreset(v.videoCodec); !preset.empty())
    t += ":vpreset=" + preset;
  if (v.audioKept) t += std::string(":acodec=") + AudioCodecName(v.audioCodec) + ":abitrate=" + v.audioKbps;
  // Apple's players take HEVC in MP4 only under the hvc1 tag.
  if (v.videoCodec == VideoCodec::Hevc && v.container == Container::Mp4) t += " -ffourcc hvc1";
  return t + MuxerTail(v);
}

// A size kept from the source (its height, the width from its display
// aspect) or a height alone; both even, never padded.
std::string SourceScaleFilter(const ItemValues& v) {
  return " -vf scale=-2:" + std::to_string(v.sizeMode == SizeMode::Height ? v.height : 0) + " ";
}

}  // namespace

std::string SourcePart(const SourceItem& item) {
  if (!IsDvdSource(item.sourcePath)) {
    // Passed as it is: this file system tells letter cases apart.
    return " " + QuoteArg(item.sourcePath) + " ";
  }
  std::string device = QuoteArg(std::string(1, AsciiLower(item.sourcePath).back()) + ":");
  std::string part = DvdTitleArgs(item.dvdTitle, device) + "-chapter " +
                     std::to_string(item.dvdFirstChapter) + "-" +
                     std::to_string(item.dvdLastChapter) + " ";
  if (item.dvdAudioStreamId >= 0) part += " -aid " + std::to_string(item.dvdAudioStreamId) + " ";
  if (item.dvdSubtitleId >= 0) part += " -sid " + std::to_string(item.dvdSubtitleId) + " ";
  return part;
}

std::string ChannelFilter(ChannelMode channel) {
  switch (channel) {
    case ChannelMode::LeftStereo:
      return "channels=2:2:0:0:0:1";
    case ChannelMode::RightStereo:
      return "channels=2:2:1:0:1:1";
    case ChannelMode::LeftMono:
      return "channels=1:1:0:0";
    case ChannelMode::RightMono:
      return "channels=1:1:1:0";
    case ChannelMode::MixedMono:
      return "pan=1:0.5:0.5";
    case ChannelMode::Default:
      break;
  }
  return {};
}

std::string VolumeFilter(const ItemValues& v) {
  return v.volume == VolumeKind::Normalize ? "volnorm" : "volume=" + v.gainDb + "db:sc";
}

std::string AudioFilterPart(const ItemValues& v) {
  const bool channel = v.channel != ChannelMode::Default;
  const bool volume = v.volume != VolumeKind::Default;
  std::string part = (channel || volume) ? " -af " : " ";
  if (channel) part += ChannelFilter(v.channel);
  if (volume) part += (channel ? "," : "") + VolumeFilter(v);
  return part + " -srate " + v.sampleRate + " ";
}

std::string ScaleFilter(int w, int h, int sourceWidth, int sourceHeight) {
  const std::string ws = std::to_string(w), hs = std::to_string(h);
  const std::string expand = ",harddup,expand=" + ws + ":" + hs + ":-1:-1:1 ";
  const double sourceRatio = static_cast<double>(sourceWidth) / sourceHeight;
  // Without a usable target height there is no target ratio: fit the width.
  const bool fitWidth = h <= 0 || static_cast<double>(w) / static_cast<double>(h) <= sourceRatio;
  if (fitWidth) return " -vf scale=" + ws + ":-2" + expand;
  return " -vf scale=-2:" + hs + expand;
}

std::string StreamPart(const ItemValues& v, int sourceWidth, int sourceHeight) {
  if (v.mp3) {
    if (!v.audioKept) return " -nosound ";
    return AudioFilterPart(v) + "  -ovc frameno -oac mp3lame -lameopts " + " cbr:br=" +
           v.audioKbps + ":mode=0 -of rawaudio ";
  }
  std::string part = v.audioKept ? AudioFilterPart(v) : " -nosound ";
  if (v.videoKept) {
    part += v.sizeMode == SizeMode::Box ? ScaleFilter(v.width, v.height, sourceWidth, sourceHeight)
                                        : SourceScaleFilter(v);
    if (!v.frameRate.empty()) part += " -ofps " + v.frameRate;
    part += UsesProfileTemplate(v) ? CodecTemplate(v) : ModernTemplate(v);
    return part;
  }
  if (v.audioKept && (v.container != Container::Mp4 || v.audioCodec != AudioCodec::Aac)) {
    return part + " -oac lavc -lavcopts acodec=" + AudioCodecName(v.audioCodec) +
           ":abitrate=" + v.audioKbps + " -ovc frameno" + MuxerTail(v);
  }
  if (!v.audioKept) {
    part += " XXX ";
  } else {
    part += " -oac lavc -lavcopts acodec=aac:abitrate=" + v.audioKbps + " -ffourcc mp4v" +
            kMp4Tail;
  }
  return part + " -ovc frameno -of rawaudio ";
}

std::string BuildEncodeCommand(const SourceItem& item, const ItemValues& values,
                               const Installation& installation) {
  return QuoteArg(installation.EngineLocation()) + SourcePart(item) +
         StreamPart(values, item.videoWidth, item.videoHeight);
}

int LaneThreads(int lanes, unsigned cores) {
  return std::max(1, static_cast<int>(cores) / std::max(lanes, 1));
}

std::string ThreadsPart(int threads) {
  const std::string n = std::to_string(threads);
  return " -lavdopts threads=" + n + " -lavcopts threads=" + n;
}

std::string PieceTail(const std::string& range, const std::string& output,
                      const std::string& folderOption) {
  return range + " -o " + QuoteArg(output) + folderOption;
}

std::string RangeSeconds(double start, double length) {
  return " -ss " + FormatFixed6(start) + " -endpos " + FormatFixed6(length) + " ";
}

std::string RangeSplit(double start, const std::string& split) {
  return " -ss " + FormatFixed6(start) + " -endpos " + split + " ";
}

std::string RangeSplitFromZero(const std::string& split) { return " -ss 0 -endpos " + split + " "; }

}  // namespace orv
