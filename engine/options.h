// Command-line model of orvantic-engine: one table of options, one parsed
// struct, and the small value parsers the table uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::engine {

struct LavcOptions {
  std::string acodec;
  std::string vcodec;
  int abitrateKbps = 0;
  int vbitrateKbps = 0;
  int mbd = -1;
  int cmp = -1;
  int subcmp = -1;
  bool trellis = false;
  bool v4mv = false;
  bool qpel = false;
  bool bitExact = false;
  bool vglobal = false;
  bool aglobal = false;
  int aic = 0;
  int threads = 0;  // the encoder's threads; 0: as many as suit this machine
  int keyint = 0;
  int level = 0;
  int vqmin = 0;
  int vqmax = 0;
  int vrcMaxrateKbps = 0;
  double vratetol = 0;
  int coder = -1;
  int vme = -1;
  int crf = -1;         // constant quality in place of vbitrate; -1: none
  std::string vpreset;  // encoder speed: x264/x265 preset name, SVT-AV1 preset, VP9 cpu-used
};

struct LameOptions {
  bool cbr = false;
  int bitrateKbps = 128;
  int mode = -1;  // 0 stereo, 1 joint, 2 dual, 3 mono
};

enum class EndKind { None, Duration, Size };

struct EndPosition {
  EndKind kind = EndKind::None;
  double seconds = 0;
  uint64_t bytes = 0;
};

struct Options {
  std::string source;
  bool hasSource = false;
  // DVD source: dvd://N
  int dvdTitle = -1;
  std::string dvdDevice;
  int chapterFirst = 0;
  int chapterLast = 0;
  int aid = -1;
  int sid = -1;

  bool identify = false;
  bool noSound = false;
  std::string audioFilters;  // -af value, last one wins
  std::string videoFilters;  // -vf value, last one wins
  int sampleRate = 0;
  double outputFps = 0;
  std::string oac;
  std::string ovc;
  std::string outputFormat;  // -of, last one wins
  std::string fourcc;
  std::string lavfFormat;
  bool chapters = false;  // -lavfopts chapters: the source's chapter marks go along
  LavcOptions lavc;
  int decodeThreads = 0;  // -lavdopts threads=N; 0: as many as suit this machine
  LameOptions lame;

  double startSeconds = 0;
  EndPosition end;
  std::string output;
  std::string folder;

  // Play-mode options: accepted now, used later.
  std::string vo;
  std::string ao;
  std::string priority;
  long long wid = -1;
  long long colorkey = -1;
  bool slave = false;
  bool framedrop = false;
  bool keepaspect = false;
};

struct ParseResult {
  Options options;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// "12.5", "75", "01:02:03.5", "02:03" -> seconds.
std::optional<double> ParseTimeValue(std::string_view text);
// A time as above, or a size "650mb", "4.7gb", "100kb", "5000b".
std::optional<EndPosition> ParseEndPosition(std::string_view text);
// Return an error message naming the offending key, or "" on success.
std::string ParseLavcOptions(std::string_view text, LavcOptions& out);
std::string ParseLameOptions(std::string_view text, LameOptions& out);
std::string ParseLavfOptions(std::string_view text, std::string& format,
                             bool* chapters = nullptr);

// What the options ask to produce, with library names resolved.
struct OutputPlan {
  bool video = false;
  bool audio = false;
  std::string videoEncoder;  // "mpeg4", "libx264", "libx265", "libsvtav1", "libvpx-vp9"
  std::string audioEncoder;  // "aac", "libmp3lame", "libopus"
  std::string muxer;         // "mp4", "mp3", "adts", "matroska", "webm", ...
};

// Fills plan or returns an error message.
std::string PlanOutput(const Options& options, OutputPlan& plan);

std::vector<std::string> SplitList(std::string_view text, char separator);

}  // namespace orv::engine
