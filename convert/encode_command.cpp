#include "convert/encode_command.h"

#include <cctype>
#include <cmath>

#include "platform/command_line.h"
#include "platform/text.h"
#include "settings/time_text.h"

namespace orv {
namespace {

// The value of the leading decimal digits; 0 without digits.
long LeadingNumber(const std::string& s) {
  long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    if (v < 1000000) v = v * 10 + (c - '0');
  }
  return v;
}

constexpr const char* kMp4Tail =
    " -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames";

std::string CodecTemplate(const SourceItem& s, bool audioKept) {
  const bool h264 = s.videoCodec == "h264";
  if (h264) {
    std::string t = " -oac lavc -ovc lavc -lavcopts keyint=500:level=13:vqmin=" + s.quantizerMin +
                    ":vqmax=" + s.quantizerMax + ":vrc_maxrate=" + s.videoBitrate +
                    ":vratetol=10:bit_exact:coder=0:aglobal=1:vglobal=1:vcodec=h264:";
    if (audioKept) {
      t += "acodec=aac:vbitrate=" + s.videoBitrate + ":abitrate=" + s.audioBitrate +
           ":v4mv:qpel:trell=lambda:mbd=1:vme=1 ";
    } else {
      t += "vbitrate=" + s.videoBitrate + ":v4mv:qpel:trell=lambda:mbd=1:vme=1";
    }
    return t + kMp4Tail + " ";
  }
  const std::string mpeg4 = "vcodec=mpeg4:vbitrate=" + s.videoBitrate +
                            ":mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1"
                            " -ffourcc mp4v";
  if (audioKept)
    return " -oac lavc -ovc lavc -lavcopts acodec=aac:abitrate=" + s.audioBitrate + ":" + mpeg4 +
           kMp4Tail;
  return " -ovc lavc -lavcopts " + mpeg4 + kMp4Tail;
}

}  // namespace

std::string SourcePart(const SourceItem& item) {
  if (!IsDvdSource(item.sourcePath)) {
    // Passed as it is: this file system tells letter cases apart.
    return " " + QuoteArg(item.sourcePath) + " ";
  }
  std::string device = QuoteArg(std::string(1, AsciiLower(item.sourcePath).back()) + ":");
  std::string part = " dvd://" + std::to_string(item.dvdTitle) + " -dvd-device " + device +
                     " -chapter " + std::to_string(item.dvdFirstChapter) + "-" +
                     std::to_string(item.dvdLastChapter) + " ";
  if (item.dvdAudioStreamId >= 0) part += " -aid " + std::to_string(item.dvdAudioStreamId) + " ";
  if (item.dvdSubtitleId >= 0) part += " -sid " + std::to_string(item.dvdSubtitleId) + " ";
  return part;
}

std::string AudioFilterPart(const ConversionSettings& s) {
  const bool channel = s.audioChannel != "default";
  const bool volume = s.audioVolume != "default";
  std::string part = (channel || volume) ? " -af " : " ";
  if (channel) {
    const std::string c = AsciiLower(s.audioChannel);
    if (c == "left stereo") part += "channels=2:2:0:0:0:1";
    else if (c == "right stereo") part += "channels=2:2:1:0:1:1";
    else if (c == "left mono") part += "channels=1:1:0:0";
    else if (c == "right mono") part += "channels=1:1:1:0";
    else if (c == "mixed mono") part += "pan=1:0.5:0.5";
  }
  if (volume) {
    if (channel) part += ",";
    part += s.audioVolume == "normalize" ? "volnorm" : "volume=" + s.audioVolume + "db:sc";
  }
  return part + " -srate " + s.audioSampleRate + " ";
}

std::string ScaleFilter(const std::string& videoSize, int sourceWidth, int sourceHeight) {
  std::string size = TrimBlanks(AsciiLower(videoSize));
  auto sep = size.find('x');
  if (sep == std::string::npos) sep = size.find(':');
  if (sep == std::string::npos) {
    size = "320x240";
    sep = 3;
  }
  const long w = LeadingNumber(size.substr(0, sep));
  const long h = LeadingNumber(size.substr(sep + 1));
  const std::string ws = std::to_string(w), hs = std::to_string(h);
  const std::string expand = ",harddup,expand=" + ws + ":" + hs + ":-1:-1:1 ";
  const double sourceRatio = static_cast<double>(sourceWidth) / sourceHeight;
  // Without a usable target height there is no target ratio: fit the width.
  const bool fitWidth = h <= 0 || static_cast<double>(w) / static_cast<double>(h) <= sourceRatio;
  if (fitWidth) return " -vf scale=" + ws + ":-2" + expand;
  return " -vf scale=-2:" + hs + expand;
}

std::string StreamPart(const SourceItem& s) {
  const bool audioKept = s.audioDisabled == "no";
  if (AsciiLower(s.outputFormat) == "mp3") {
    if (!audioKept) return " -nosound ";
    return AudioFilterPart(s) + "  -ovc frameno -oac mp3lame -lameopts " + " cbr:br=" +
           s.audioBitrate + ":mode=0 -of rawaudio ";
  }
  std::string part = audioKept ? AudioFilterPart(s) : " -nosound ";
  if (s.videoDisabled == "no") {
    part += ScaleFilter(s.videoSize, s.videoWidth, s.videoHeight);
    if (s.videoFrameRate != "default") part += " -ofps " + s.videoFrameRate;
    part += CodecTemplate(s, audioKept);
    return part;
  }
  if (!audioKept) {
    part += " XXX ";
  } else {
    part += " -oac lavc -lavcopts acodec=aac:abitrate=" + s.audioBitrate + " -ffourcc mp4v" +
            kMp4Tail;
  }
  return part + " -ovc frameno -of rawaudio ";
}

std::string BuildEncodeCommand(const SourceItem& item, const Installation& installation) {
  return QuoteArg(installation.EngineLocation()) + SourcePart(item) + StreamPart(item);
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
