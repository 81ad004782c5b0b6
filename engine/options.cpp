#include "engine/options.h"

#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <iterator>

namespace orv::engine {
namespace {

std::string lower(std::string_view s) { return AsciiLower(std::string(s)); }

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::optional<double> ParseDouble(std::string_view text) { return ParseNumber(text); }
std::optional<long long> ParseInt(std::string_view text) { return ParseInteger(text); }

std::optional<bool> ParseFlag(std::string_view value) {
  std::string v = lower(value);
  if (v.empty() || v == "yes" || v == "1" || v == "on") return true;
  if (v == "no" || v == "0" || v == "off") return false;
  return std::nullopt;
}

using Handler = std::function<std::string(Options&, const std::string&)>;

struct OptionSpec {
  const char* name;
  bool takesArgument;
  Handler handle;
};

std::string BadValue(const char* option, const std::string& value) {
  return std::string("invalid value '") + value + "' for -" + option;
}

Handler SetInt(const char* name, int Options::*field, long long minimum) {
  return [name, field, minimum](Options& o, const std::string& v) -> std::string {
    auto n = ParseInt(v);
    if (!n || *n < minimum || *n > 1000000000) return BadValue(name, v);
    o.*field = static_cast<int>(*n);
    return {};
  };
}

Handler SetString(std::string Options::*field) {
  return [field](Options& o, const std::string& v) -> std::string {
    o.*field = v;
    return {};
  };
}

Handler SetBool(bool Options::*field) {
  return [field](Options& o, const std::string&) -> std::string {
    o.*field = true;
    return {};
  };
}

// Window ids and colour keys come as decimal or 0x-prefixed hex.
Handler SetId(const char* name, long long Options::*field) {
  return [name, field](Options& o, const std::string& v) -> std::string {
    std::string_view digits(v);
    int base = 10;
    if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
      digits.remove_prefix(2);
      base = 16;
    }
    long long n = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n, base);
    if (digits.empty() || ec != std::errc() || p != digits.data() + digits.size() || n < 0)
      return BadValue(name, v);
    o.*field = n;
    return {};
  };
}

std::string HandleChapter(Options& o, const std::string& v) {
  auto dash = v.find('-');
  auto first = ParseInt(std::string_view(v).substr(0, dash));
  auto last = dash == std::string::npos ? first : ParseInt(std::string_view(v).substr(dash + 1));
  if (!first || !last || *first < 1 || *last < *first) return BadValue("chapter", v);
  o.chapterFirst = static_cast<int>(*first);
  o.chapterLast = static_cast<int>(*last);
  return {};
}

// -lavdopts threads=N: the decoders' threads (a run of several engines at
// once shares the cores out).
std::string ParseLavdOptions(Options& o, const std::string& text) {
  for (const std::string& item : SplitList(text, ':')) {
    if (item.empty()) continue;
    const auto eq = item.find('=');
    if (item.substr(0, eq) != "threads") return "unknown -lavdopts key '" + item.substr(0, eq) + "'";
    const auto n = eq == std::string::npos ? std::nullopt : ParseInt(item.substr(eq + 1));
    if (!n || *n < 1 || *n > 64) return "invalid -lavdopts value '" + item + "'";
    o.decodeThreads = static_cast<int>(*n);
  }
  return {};
}

const std::vector<OptionSpec>& OptionTable() {
  static const std::vector<OptionSpec> table = {
      {"identify", false, SetBool(&Options::identify)},
      {"nosound", false, SetBool(&Options::noSound)},
      {"currentfolder", true, SetString(&Options::folder)},
      {"o", true, SetString(&Options::output)},
      {"af", true, SetString(&Options::audioFilters)},
      {"vf", true, SetString(&Options::videoFilters)},
      {"srate", true, SetInt("srate", &Options::sampleRate, 1000)},
      {"ofps", true,
       [](Options& o, const std::string& v) -> std::string {
         auto fps = ParseDouble(v);
         if (!fps || *fps <= 0 || *fps > 1000) return BadValue("ofps", v);
         o.outputFps = *fps;
         return {};
       }},
      {"oac", true, SetString(&Options::oac)},
      {"ovc", true, SetString(&Options::ovc)},
      {"of", true, SetString(&Options::outputFormat)},
      {"ffourcc", true,
       [](Options& o, const std::string& v) -> std::string {
         if (v.size() != 4) return BadValue("ffourcc", v);
         o.fourcc = v;
         return {};
       }},
      {"lavcopts", true,
       [](Options& o, const std::string& v) { return ParseLavcOptions(v, o.lavc); }},
      {"lavdopts", true, ParseLavdOptions},
      {"lameopts", true,
       [](Options& o, const std::string& v) { return ParseLameOptions(v, o.lame); }},
      {"lavfopts", true,
       [](Options& o, const std::string& v) {
         return ParseLavfOptions(v, o.lavfFormat, &o.chapters);
       }},
      {"ss", true,
       [](Options& o, const std::string& v) -> std::string {
         auto t = ParseTimeValue(v);
         if (!t) return BadValue("ss", v);
         o.startSeconds = *t;
         return {};
       }},
      {"endpos", true,
       [](Options& o, const std::string& v) -> std::string {
         auto e = ParseEndPosition(v);
         if (!e) return BadValue("endpos", v);
         o.end = *e;
         return {};
       }},
      {"dvd-device", true, SetString(&Options::dvdDevice)},
      {"chapter", true, HandleChapter},
      {"aid", true, SetInt("aid", &Options::aid, 0)},
      {"sid", true, SetInt("sid", &Options::sid, 0)},
      {"vo", true, SetString(&Options::vo)},
      {"ao", true, SetString(&Options::ao)},
      {"priority", true, SetString(&Options::priority)},
      {"wid", true, SetId("wid", &Options::wid)},
      {"colorkey", true, SetId("colorkey", &Options::colorkey)},
      {"slave", false, SetBool(&Options::slave)},
      {"framedrop", false, SetBool(&Options::framedrop)},
      {"keepaspect", false, SetBool(&Options::keepaspect)},
  };
  return table;
}

std::string SetSource(Options& o, const std::string& arg) {
  if (o.hasSource) return "unexpected argument '" + arg + "'";
  o.hasSource = true;
  o.source = arg;
  if (arg.rfind("dvd://", 0) == 0) {
    auto title = ParseInt(std::string_view(arg).substr(6));
    if (!title || *title < 0) return "invalid DVD title in '" + arg + "'";
    o.dvdTitle = static_cast<int>(*title);
  }
  return {};
}

}  // namespace

std::vector<std::string> SplitList(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  const auto& table = OptionTable();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.empty()) continue;
    if (arg.size() < 2 || arg[0] != '-') {
      result.error = SetSource(o, arg);
      if (!result.error.empty()) return result;
      continue;
    }
    std::string name = arg.substr(1);
    auto spec = std::find_if(table.begin(), table.end(),
                             [&](const OptionSpec& s) { return name == s.name; });
    if (spec == table.end()) {
      result.error = "unknown option '" + arg + "'";
      return result;
    }
    std::string value;
    if (spec->takesArgument) {
      if (i + 1 >= args.size()) {
        result.error = "option '" + arg + "' needs a value";
        return result;
      }
      value = args[++i];
    }
    result.error = spec->handle(o, value);
    if (!result.error.empty()) return result;
  }
  return result;
}

// Times and sizes beyond these are no real clip; keeping them bounded keeps
// every later conversion to stream ticks and byte counts in range.
constexpr double kLongestSeconds = 1e9;
constexpr double kLargestBytes = 4e18;

std::optional<double> ParseTimeValue(std::string_view text) {
  auto t = ParseTimeText(text);
  if (!t || *t > kLongestSeconds) return std::nullopt;
  return t;
}

std::optional<EndPosition> ParseEndPosition(std::string_view text) {
  std::string t = lower(text);
  static const std::pair<const char*, double> units[] = {
      {"gb", 1024.0 * 1024 * 1024}, {"mb", 1024.0 * 1024}, {"kb", 1024.0}, {"b", 1.0}};
  for (const auto& [suffix, factor] : units) {
    if (!EndsWith(t, suffix)) continue;
    auto number = ParseDouble(
        std::string_view(t).substr(0, t.size() - std::char_traits<char>::length(suffix)));
    if (!number || *number <= 0 || *number * factor > kLargestBytes) return std::nullopt;
    EndPosition end;
    end.kind = EndKind::Size;
    end.bytes = static_cast<uint64_t>(std::floor(*number * factor));
    if (end.bytes == 0) return std::nullopt;
    return end;
  }
  auto seconds = ParseTimeValue(t);
  if (!seconds || *seconds <= 0) return std::nullopt;
  EndPosition end;
  end.kind = EndKind::Duration;
  end.seconds = *seconds;
  return end;
}

namespace {

// One -lavcopts key: stores its value, false when the value is not one.
using LavcSetter = std::function<bool(LavcOptions&, const std::string& value, bool hasValue)>;

LavcSetter IntKey(int LavcOptions::*field, long long lo, long long hi) {
  return [field, lo, hi](LavcOptions& o, const std::string& v, bool) {
    auto n = ParseInt(v);
    if (!n || *n < lo || *n > hi) return false;
    o.*field = static_cast<int>(*n);
    return true;
  };
}

LavcSetter FlagKey(bool LavcOptions::*field) {
  return [field](LavcOptions& o, const std::string& v, bool) {
    auto f = ParseFlag(v);
    if (f) o.*field = *f;
    return f.has_value();
  };
}

// vglobal=N, aglobal=N: 0 off, 1 or 2 on.
LavcSetter GlobalKey(bool LavcOptions::*field) {
  return [field](LavcOptions& o, const std::string& v, bool) {
    auto n = ParseInt(v);
    if (!n || *n < 0 || *n > 2) return false;
    o.*field = *n != 0;
    return true;
  };
}

LavcSetter NameKey(std::string LavcOptions::*field) {
  return [field](LavcOptions& o, const std::string& v, bool hasValue) {
    if (!hasValue || v.empty()) return false;
    o.*field = v;
    return true;
  };
}

const std::vector<std::pair<const char*, LavcSetter>>& LavcKeys() {
  static const std::vector<std::pair<const char*, LavcSetter>> keys = {
      {"acodec", NameKey(&LavcOptions::acodec)},
      {"vcodec", NameKey(&LavcOptions::vcodec)},
      {"abitrate", IntKey(&LavcOptions::abitrateKbps, 1, 1000000)},
      {"vbitrate", IntKey(&LavcOptions::vbitrateKbps, 1, 100000000)},
      {"mbd", IntKey(&LavcOptions::mbd, 0, 2)},
      {"cmp", IntKey(&LavcOptions::cmp, 0, 2000)},
      {"subcmp", IntKey(&LavcOptions::subcmp, 0, 2000)},
      // "trell=lambda" is an old spelling of "on" for some builds.
      {"trell",
       [](LavcOptions& o, const std::string& v, bool h) {
         if (v != "lambda") return FlagKey(&LavcOptions::trellis)(o, v, h);
         o.trellis = true;
         return true;
       }},
      {"v4mv", FlagKey(&LavcOptions::v4mv)},
      {"qpel", FlagKey(&LavcOptions::qpel)},
      {"bit_exact", FlagKey(&LavcOptions::bitExact)},
      {"vglobal", GlobalKey(&LavcOptions::vglobal)},
      {"aglobal", GlobalKey(&LavcOptions::aglobal)},
      {"aic", IntKey(&LavcOptions::aic, 0, 2)},
      {"threads", IntKey(&LavcOptions::threads, 1, 64)},
      {"keyint", IntKey(&LavcOptions::keyint, 1, 100000)},
      {"level", IntKey(&LavcOptions::level, 1, 62)},
      {"vqmin", IntKey(&LavcOptions::vqmin, 1, 51)},
      {"vqmax", IntKey(&LavcOptions::vqmax, 1, 69)},
      {"vrc_maxrate", IntKey(&LavcOptions::vrcMaxrateKbps, 1, 100000000)},
      {"vratetol",
       [](LavcOptions& o, const std::string& v, bool) {
         auto d = ParseDouble(v);
         if (!d || *d < 0) return false;
         o.vratetol = *d;
         return true;
       }},
      {"coder", IntKey(&LavcOptions::coder, 0, 2)},
      {"vme", IntKey(&LavcOptions::vme, 0, 10)},
      {"crf", IntKey(&LavcOptions::crf, 0, 63)},
      // A word or a number; which ones the encoder takes is checked with it.
      {"vpreset",
       [](LavcOptions& o, const std::string& v, bool) {
         if (v.empty() || v.size() > 16 ||
             v.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
           return false;
         o.vpreset = v;
         return true;
       }},
  };
  return keys;
}

}  // namespace

std::string ParseLavcOptions(std::string_view text, LavcOptions& out) {
  const auto& keys = LavcKeys();
  for (const std::string& item : SplitList(text, ':')) {
    if (item.empty()) continue;
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const auto& k) { return key == k.first; });
    if (found == keys.end()) return "unknown -lavcopts key '" + key + "'";
    if (!found->second(out, value, eq != std::string::npos))
      return "invalid -lavcopts value '" + item + "'";
  }
  if (out.vqmin && out.vqmax && out.vqmin > out.vqmax) return "invalid -lavcopts: vqmin > vqmax";
  return {};
}

std::string ParseLameOptions(std::string_view text, LameOptions& out) {
  for (const std::string& item : SplitList(text, ':')) {
    if (item.empty()) continue;
    auto eq = item.find('=');
    std::string key = item.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    auto n = ParseInt(value);
    if (key == "cbr") {
      out.cbr = true;
    } else if (key == "br") {
      if (!n || *n < 8 || *n > 320) return "invalid -lameopts value '" + item + "'";
      out.bitrateKbps = static_cast<int>(*n);
    } else if (key == "mode") {
      if (!n || *n < 0 || *n > 3) return "invalid -lameopts value '" + item + "'";
      out.mode = static_cast<int>(*n);
    } else {
      return "unknown -lameopts key '" + key + "'";
    }
  }
  return {};
}

std::string ParseLavfOptions(std::string_view text, std::string& format, bool* chapters) {
  for (const std::string& item : SplitList(text, ':')) {
    if (item.empty()) continue;
    if (item == "chapters" && chapters) {
      *chapters = true;
    } else if (item.rfind("format=", 0) == 0) {
      format = item.substr(7);
      if (format.empty()) return "invalid -lavfopts value '" + item + "'";
    } else if (item == "i_certify_that_my_video_stream_does_not_use_b_frames") {
      // Our encoders are configured without B-frames anyway.
    } else {
      return "unknown -lavfopts key '" + item + "'";
    }
  }
  return {};
}

namespace {

std::string VideoEncoderFor(const std::string& vcodec, std::string& encoder) {
  const std::string v = lower(vcodec);
  if (v.empty() || v == "mpeg4")
    encoder = "mpeg4";
  else if (v == "h264" || v == "libx264")
    encoder = "libx264";
  else if (v == "hevc" || v == "libx265")
    encoder = "libx265";
  else if (v == "av1" || v == "libsvtav1")
    encoder = "libsvtav1";
  else if (v == "vp9" || v == "libvpx-vp9")
    encoder = "libvpx-vp9";
  else
    return "unsupported video codec '" + vcodec + "' in -lavcopts";
  return {};
}

std::string AudioEncoderFor(const std::string& acodec, std::string& encoder) {
  const std::string a = lower(acodec);
  if (a.empty() || a == "aac")
    encoder = "aac";
  else if (a == "mp3" || a == "libmp3lame")
    encoder = "libmp3lame";
  else if (a == "opus" || a == "libopus")
    encoder = "libopus";
  else
    return "unsupported audio codec '" + acodec + "' in -lavcopts";
  return {};
}

struct Range {
  int lowest;
  int highest;
};

// What crf= and vpreset= may be for each encoder.
std::string CheckQualityAndPreset(const LavcOptions& l, const std::string& encoder) {
  static const std::pair<const char*, Range> crfRanges[] = {
      {"libx264", {0, 51}}, {"libx265", {0, 51}}, {"libsvtav1", {1, 63}}, {"libvpx-vp9", {0, 63}}};
  if (l.crf >= 0) {
    const auto* found = std::find_if(std::begin(crfRanges), std::end(crfRanges),
                                     [&](const auto& r) { return encoder == r.first; });
    if (found == std::end(crfRanges))
      return "the " + encoder + " encoder has no constant quality (crf); give vbitrate";
    if (l.crf < found->second.lowest || l.crf > found->second.highest)
      return "crf=" + std::to_string(l.crf) + " is outside " +
             std::to_string(found->second.lowest) + "-" + std::to_string(found->second.highest) +
             ", the range of " + encoder;
  }
  if (l.vpreset.empty()) return {};
  static const char* const names[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                      "medium",    "slow",      "slower",   "veryslow", "placebo"};
  const bool named = std::find(std::begin(names), std::end(names), l.vpreset) != std::end(names);
  const auto number = ParseInt(l.vpreset);
  const bool ok = encoder == "libx264" || encoder == "libx265" ? named
                  : encoder == "libsvtav1"                      ? number && *number >= 0 && *number <= 13
                  : encoder == "libvpx-vp9"                     ? number && *number >= 0 && *number <= 8
                                                                : false;
  if (!ok) return "vpreset=" + l.vpreset + " is no preset of the " + encoder + " encoder";
  return {};
}

// WebM holds VP9 or AV1 with Opus only; say which stream does not fit.
std::string CheckWebm(const OutputPlan& plan) {
  if (plan.muxer != "webm") return {};
  if (plan.video && plan.videoEncoder != "libvpx-vp9" && plan.videoEncoder != "libsvtav1")
    return "WebM holds VP9 or AV1 video only, not " + plan.videoEncoder;
  if (plan.audio && plan.audioEncoder != "libopus")
    return "WebM holds Opus audio only, not " + plan.audioEncoder;
  return {};
}

std::string PlanVideo(const Options& o, OutputPlan& plan) {
  if (o.ovc == "lavc") {
    if (std::string error = VideoEncoderFor(o.lavc.vcodec, plan.videoEncoder); !error.empty())
      return error;
    plan.video = true;
    return CheckQualityAndPreset(o.lavc, plan.videoEncoder);
  }
  if (o.ovc == "frameno") return {};
  if (o.ovc.empty()) return "no video codec given (-ovc)";
  return "unsupported -ovc '" + o.ovc + "'";
}

std::string PlanAudio(const Options& o, OutputPlan& plan) {
  if (o.noSound) return {};
  if (o.oac == "lavc") {
    if (std::string error = AudioEncoderFor(o.lavc.acodec, plan.audioEncoder); !error.empty())
      return error;
  } else if (o.oac == "mp3lame") {
    plan.audioEncoder = "libmp3lame";
  } else if (o.oac.empty()) {
    return "no audio codec given (-oac); use -nosound to drop audio";
  } else {
    return "unsupported -oac '" + o.oac + "'";
  }
  plan.audio = true;
  return {};
}

}  // namespace

std::string PlanOutput(const Options& o, OutputPlan& plan) {
  plan = {};
  if (o.output.empty()) return "no output file given (-o)";
  std::string outName = lower(o.output);
  if (std::string error = PlanVideo(o, plan); !error.empty()) return error;
  if (std::string error = PlanAudio(o, plan); !error.empty()) return error;

  std::string of = o.outputFormat.empty() ? "lavf" : o.outputFormat;
  if (of == "rawaudio") {
    // A raw audio stream carries no video.
    plan.video = false;
    if (plan.audio && plan.audioEncoder == "aac")
      plan.muxer = EndsWith(outName, ".mp4") || EndsWith(outName, ".m4a") ? "mp4" : "adts";
    else
      plan.muxer = "mp3";
  } else if (of == "lavf") {
    plan.muxer = o.lavfFormat.empty() ? "mp4" : o.lavfFormat;
  } else if (of == "avi") {
    plan.muxer = "avi";
  } else {
    return "unsupported -of '" + of + "'";
  }
  if (!plan.video && !plan.audio) return "nothing to encode: both audio and video are disabled";
  return CheckWebm(plan);
}

}  // namespace orv::engine
