#include "core/settings/settings_check.h"

#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <utility>

#include "platform/text.h"

namespace orv {
namespace {

using Rule = std::function<std::string(const std::string&)>;

std::string WholeNumber(const std::string& v, long long lo, long long hi) {
  // Digits only (a sign is no part of a rate): nothing else may reach the
  // command line next to the number.
  if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos)
    return "is not a number";
  const auto n = ParseInteger(v);
  if (!n || *n < lo || *n > hi)
    return "is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
  return {};
}

std::string OneOf(const std::string& v, std::initializer_list<const char*> names) {
  const std::string lower = AsciiLower(v);
  std::string list;
  for (const char* name : names) {
    if (lower == name) return {};
    list += std::string(list.empty() ? "" : ", ") + name;
  }
  return "is not one of " + list;
}

std::string SizeRule(const std::string& v) {
  const std::string s = AsciiLower(v);
  if (s == "source") return {};
  const auto x = s.find('x');
  const bool digits = s.find_first_not_of("0123456789x") == std::string::npos;
  // 0 stands for "no number": it fails the range as a missing side does.
  // A height alone ("x720") keeps the source's aspect.
  const bool heightOnly = x == 0;
  const long long w =
      heightOnly ? 2 : x == std::string::npos ? 0 : ParseInteger(s.substr(0, x)).value_or(0);
  const long long h = x == std::string::npos ? 0 : ParseInteger(s.substr(x + 1)).value_or(0);
  if (!digits || w <= 0 || h <= 0 || w % 2 || h % 2 || w > 16384 || h > 16384)
    return "is not \"source\", a size WIDTHxHEIGHT or a height xHEIGHT with even sides from 2 "
           "to 16384";
  return {};
}

// A bitrate in kbit/s, or a constant quality "CRF 23" (the range the codec
// takes is checked with the codec, in CombinationProblem).
std::string VideoBitrateRule(const std::string& v) {
  if (ParseCrf(v)) return {};
  if (AsciiLower(v).rfind("crf", 0) == 0) return "is not a constant quality CRF 0 to 63";
  return WholeNumber(v, 1, 100000);
}

std::string FrameRateRule(const std::string& v) {
  if (AsciiLower(v) == "default") return {};
  const auto fps = ParseNumber(v);
  if (v.find_first_not_of("0123456789.") != std::string::npos || !fps || *fps <= 0 ||
      *fps > 1000)
    return "is not \"default\" or a number of frames per second up to 1000";
  return {};
}

std::string VolumeRule(const std::string& v) {
  const std::string lower = AsciiLower(v);
  if (lower == "default" || lower == "normalize") return {};
  const auto db = ParseNumber(v);
  if (v.find_first_not_of("+-0123456789.") != std::string::npos || !db || *db < -200 || *db > 60)
    return "is not \"default\", \"normalize\" or a gain from -200 to +60 dB";
  return {};
}

std::string SplitRule(const std::string& v) {
  const std::string s = SplitText(v);
  if (s.empty()) return {};
  for (const char* unit : {"gb", "mb", "kb", "b"}) {
    const std::string u = unit;
    if (s.size() <= u.size() || s.compare(s.size() - u.size(), u.size(), u) != 0) continue;
    const std::string number = s.substr(0, s.size() - u.size());
    const auto n = ParseNumber(number);
    if (number.find_first_not_of("0123456789.") == std::string::npos && n && *n > 0 && *n < 1e12)
      return {};
    break;
  }
  const auto t = ParseTimeText(s);
  if (s.find_first_not_of("0123456789:.") == std::string::npos && t && *t > 0 && *t < 1e9)
    return {};
  return "is not \"Not split\", a length hh:mm:ss or a size such as 650 MB";
}

const std::array<std::pair<const char*, Rule>, 13>& Rules() {
  static const std::array<std::pair<const char*, Rule>, 13> rules{{
      {"Output format",
       [](const std::string& v) { return OneOf(v, {"mp4", "mp3", "mkv", "webm"}); }},
      {"Split", SplitRule},
      {"Video codec",
       [](const std::string& v) { return OneOf(v, {"mpeg4", "h264", "hevc", "av1", "vp9"}); }},
      {"Video size", SizeRule},
      {"Video frame rate", FrameRateRule},
      {"Video bitrate", VideoBitrateRule},
      {"Audio codec", [](const std::string& v) { return OneOf(v, {"aac", "mp3", "opus"}); }},
      {"Audio sample", [](const std::string& v) { return WholeNumber(v, 1000, 192000); }},
      {"Audio bitrate", [](const std::string& v) { return WholeNumber(v, 1, 1000); }},
      {"Audio channel",
       [](const std::string& v) {
         return OneOf(v, {"default", "left stereo", "right stereo", "left mono", "right mono",
                          "mixed mono"});
       }},
      {"Audio volume", VolumeRule},
      {"quantizer min", [](const std::string& v) { return WholeNumber(v, 1, 31); }},
      {"quantizer max", [](const std::string& v) { return WholeNumber(v, 1, 31); }},
  }};
  return rules;
}

std::string NumberText(double value) {
  if (std::isnan(value)) return "nan";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

struct CrfRange {
  const char* codec;
  int lowest;
  int highest;
};

// The constant-quality scales of the encoders behind each codec name.
constexpr CrfRange kCrfRanges[] = {{"h264", 0, 51}, {"hevc", 0, 51}, {"av1", 1, 63}, {"vp9", 0, 63}};

std::optional<FieldProblem> VideoCombination(const std::string& format, const std::string& codec,
                                             const ConversionSettings& s) {
  if (format == "webm" && codec != "vp9" && codec != "av1")
    return FieldProblem{"Video codec", s.videoCodec,
                        "cannot be stored in WebM, which holds VP9 or AV1 video only"};
  const auto crf = ParseCrf(s.videoBitrate);
  if (!crf) return std::nullopt;
  for (const CrfRange& r : kCrfRanges) {
    if (codec != r.codec) continue;
    if (*crf >= r.lowest && *crf <= r.highest) return std::nullopt;
    return FieldProblem{"Video bitrate", s.videoBitrate,
                        "is outside the constant quality range CRF " + std::to_string(r.lowest) +
                            " to " + std::to_string(r.highest) + " of " + codec};
  }
  return FieldProblem{"Video bitrate", s.videoBitrate,
                      "is a constant quality, which the " + s.videoCodec +
                          " codec does not offer; give a bitrate in kbit/s"};
}

}  // namespace

std::optional<int> ParseCrf(const std::string& text) {
  const std::string s = AsciiLower(TrimBlanks(text));
  if (s.rfind("crf", 0) != 0) return std::nullopt;
  const std::string number = TrimBlanks(s.substr(3));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const auto n = ParseInteger(number);
  if (!n || *n < 0 || *n > 63) return std::nullopt;
  return static_cast<int>(*n);
}

std::optional<FieldProblem> CombinationProblem(const ConversionSettings& s) {
  const std::string format = AsciiLower(TrimBlanks(s.outputFormat));
  const std::string audio = AsciiLower(TrimBlanks(s.audioCodec));
  if (format == "mp3") {
    if (audio == "opus")
      return FieldProblem{"Audio codec", s.audioCodec, "cannot be stored in an MP3 file"};
    return std::nullopt;
  }
  if (s.videoDisabled == "no") {
    if (auto problem = VideoCombination(format, AsciiLower(TrimBlanks(s.videoCodec)), s))
      return problem;
  }
  if (s.audioDisabled == "no" && format == "webm" && audio != "opus")
    return FieldProblem{"Audio codec", s.audioCodec,
                        "cannot be stored in WebM, which holds Opus audio only"};
  return std::nullopt;
}

std::optional<FieldProblem> CheckClip(const ConversionSettings& s, double duration) {
  if (!s.clipEnabled) return std::nullopt;
  auto bad = [](const char* caption, double value, const char* reason) {
    return FieldProblem{caption, NumberText(value), reason};
  };
  if (!std::isfinite(s.clipStartSeconds) || s.clipStartSeconds < 0)
    return bad("Start time", s.clipStartSeconds, "is not a time from the start of the source");
  if (!std::isfinite(s.clipEndSeconds) || s.clipEndSeconds <= s.clipStartSeconds)
    return bad("End time", s.clipEndSeconds, "is not a time after the start time");
  if (duration > 0 && s.clipEndSeconds > duration + 0.5)
    return bad("End time", s.clipEndSeconds, "is past the end of the source");
  return std::nullopt;
}

std::string FieldValueProblem(const std::string& caption, const std::string& value) {
  for (const auto& [name, rule] : Rules())
    if (caption == name) return rule(TrimBlanks(value));
  return {};
}

std::optional<FieldProblem> CheckSettings(const ConversionSettings& s, double duration) {
  if (auto problem = CheckSettingsTexts(s)) return problem;
  return CheckClip(s, duration);
}

std::optional<FieldProblem> CheckSettingsTexts(const ConversionSettings& s) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"Output format", &s.outputFormat},      {"Split", &s.splitMode},
      {"Video codec", &s.videoCodec},          {"Video size", &s.videoSize},
      {"Video frame rate", &s.videoFrameRate}, {"Video bitrate", &s.videoBitrate},
      {"Audio codec", &s.audioCodec},          {"Audio sample", &s.audioSampleRate},
      {"Audio bitrate", &s.audioBitrate},      {"Audio channel", &s.audioChannel},
      {"Audio volume", &s.audioVolume},        {"quantizer min", &s.quantizerMin},
      {"quantizer max", &s.quantizerMax},
  };
  for (const auto& [caption, value] : fields)
    if (std::string reason = FieldValueProblem(caption, *value); !reason.empty())
      return FieldProblem{caption, *value, reason};
  return CombinationProblem(s);
}

std::string SplitText(const std::string& splitMode) {
  std::string out;
  for (char c : AsciiLower(splitMode))
    if (c != ' ' && c != '\t') out += c;
  return out == "notsplit" ? std::string() : out;
}

void NormaliseSettings(ConversionSettings& s) {
  s.audioChannel = AsciiLower(s.audioChannel);
  for (std::string* word : {&s.audioVolume, &s.videoFrameRate})
    if (const std::string lower = AsciiLower(*word); lower == "default" || lower == "normalize")
      *word = lower;
  if (AsciiLower(s.videoCodec) == "h264") s.videoCodec = "h264";
  if (AsciiLower(s.videoCodec) == "mpeg4") s.videoCodec = "MPEG4";
  for (std::string* word : {&s.videoCodec, &s.outputFormat})
    if (const std::string lower = AsciiLower(*word);
        lower == "hevc" || lower == "av1" || lower == "vp9" || lower == "mkv" || lower == "webm")
      *word = lower;
}

}  // namespace orv
