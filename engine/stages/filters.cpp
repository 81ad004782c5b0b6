#include "engine/stages/filters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include "engine/options.h"
#include "platform/text.h"

namespace orv::engine {
namespace {

std::optional<long> ToInt(std::string_view s) {
  auto v = ParseInteger(s);
  if (!v || *v < std::numeric_limits<long>::min() || *v > std::numeric_limits<long>::max())
    return std::nullopt;
  return static_cast<long>(*v);
}

std::optional<double> ToDouble(std::string_view s) { return ParseNumber(s); }

std::string FormatNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

std::string layoutName(int channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + "c";
}

FilterChain fail(std::string message) {
  FilterChain c;
  c.error = std::move(message);
  return c;
}

void append(std::string& chain, const std::string& piece) {
  if (piece.empty()) return;
  if (!chain.empty()) chain += ',';
  chain += piece;
}

// A scale size field: positive = pixels, 0 = source size, negative = keep
// the display aspect (MEncoder's -1/-2; we always round to even). With the
// box of a following expand (boundary on this side, otherBoundary on the
// other), the picture fits inside it at its display aspect: a 16:9 title
// stored in 720x576 and asked for at 240 lines becomes 320x180, not a
// squeezed 320x240.
std::string ScaleExpr(long mine, long other, bool isWidth, long boundary, long otherBoundary) {
  if (mine > 0) {
    if (otherBoundary <= 0 || boundary <= 0) return std::to_string(mine);
    const std::string fit = isWidth ? "2*trunc(" + std::to_string(otherBoundary) + "*dar/2+0.5)"
                                    : "2*trunc(" + std::to_string(otherBoundary) + "/dar/2+0.5)";
    return "'max(2,min(" + std::to_string(mine) + "," + fit + "))'";
  }
  // scale=-2:0 keeps the source's lines (made even) and gives the width its
  // display aspect: the source's size with square pixels.
  if (mine == 0 && other < 0) return isWidth ? "'max(2,2*trunc(iw/2))'" : "'max(2,2*trunc(ih/2))'";
  if (mine < 0 && other == 0)
    return isWidth ? "'max(2,2*trunc(ih*dar/2+0.5))'" : "'max(2,2*trunc(iw/dar/2+0.5))'";
  if (mine == 0 || other <= 0) return isWidth ? "iw" : "ih";
  std::string expr = isWidth ? "2*trunc(" + std::to_string(other) + "*dar/2+0.5)"
                             : "2*trunc(" + std::to_string(other) + "/dar/2+0.5)";
  // Keep the picture inside a following expand box so the pad never fails.
  if (boundary > 0) expr = "min(" + std::to_string(boundary) + "," + expr + ")";
  return "'max(2," + expr + ")'";
}

std::string ExpandSize(long v, const char* source) {
  if (v > 0) return std::to_string(v);
  if (v == 0) return source;
  return std::string(source) + "+" + std::to_string(-v);
}

std::string ExpandPos(long v, const char* free) {
  if (v < 0) return std::string("(") + free + ")/2";
  return std::to_string(v);
}

}  // namespace

FilterChain TranslateVideoFilters(std::string_view vf) {
  FilterChain result;
  if (vf.empty()) return result;
  std::vector<std::string> items = SplitList(vf, ',');
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    auto eq = item.find('=');
    std::string name = item.substr(0, eq);
    std::vector<std::string> args =
        eq == std::string::npos ? std::vector<std::string>{} : SplitList(item.substr(eq + 1), ':');
    std::vector<long> n;
    for (const auto& a : args) {
      auto v = ToInt(a);
      if (!v) return fail("invalid -vf argument in '" + item + "'");
      n.push_back(*v);
    }
    if (name == "harddup" || name == "softskip") {
      continue;  // Frame duplication is already done by the fps filter.
    } else if (name == "scale") {
      if (n.size() < 2) return fail("-vf scale needs W:H in '" + item + "'");
      // Find the box of a following expand to bound aspect-derived sizes.
      long boxW = 0, boxH = 0;
      for (size_t j = i + 1; j < items.size(); ++j) {
        if (items[j].rfind("expand=", 0) != 0) continue;
        auto e = SplitList(items[j].substr(7), ':');
        if (e.size() >= 2) {
          boxW = ToInt(e[0]).value_or(0);
          boxH = ToInt(e[1]).value_or(0);
        }
        break;
      }
      append(result.description, "scale=w=" + ScaleExpr(n[0], n[1], true, boxW, boxH) + ":h=" +
                                     ScaleExpr(n[1], n[0], false, boxH, boxW) + ",setsar=1");
    } else if (name == "expand") {
      if (n.size() < 2) return fail("-vf expand needs W:H in '" + item + "'");
      long x = n.size() > 2 ? n[2] : -1;
      long y = n.size() > 3 ? n[3] : -1;
      append(result.description,
             "pad=w=" + ExpandSize(n[0], "iw") + ":h=" + ExpandSize(n[1], "ih") +
                 ":x=" + ExpandPos(x, "ow-iw") + ":y=" + ExpandPos(y, "oh-ih") + ":color=black");
    } else if (name == "crop") {
      if (n.size() < 2) return fail("-vf crop needs W:H in '" + item + "'");
      std::string c = "crop=w=" + std::to_string(n[0]) + ":h=" + std::to_string(n[1]);
      if (n.size() >= 4 && n[2] >= 0 && n[3] >= 0)
        c += ":x=" + std::to_string(n[2]) + ":y=" + std::to_string(n[3]);
      append(result.description, c);
    } else {
      return fail("unsupported video filter '" + name + "' in -vf");
    }
  }
  return result;
}

FilterChain ChannelsToPan(std::string_view args, int inputChannels) {
  std::vector<std::string> parts = SplitList(args, ':');
  std::vector<long> n;
  for (const auto& p : parts) {
    auto v = ToInt(p);
    if (!v || *v < 0) return fail("invalid -af channels='" + std::string(args) + "'");
    n.push_back(*v);
  }
  if (n.empty() || n[0] < 1 || n[0] > 8)
    return fail("invalid -af channels='" + std::string(args) + "'");
  int outputs = static_cast<int>(n[0]);
  long routes = n.size() > 1 ? n[1] : 0;
  if (n.size() != static_cast<size_t>(2 + 2 * routes) && !(n.size() == 1))
    return fail("invalid -af channels='" + std::string(args) + "': route count does not match");
  int inputs = std::max(inputChannels, 1);
  std::vector<std::string> sources(outputs);
  if (routes == 0) {
    // No routes: copy channels straight through, silence the rest.
    for (int o = 0; o < outputs; ++o) sources[o] = o < inputs ? "c" + std::to_string(o) : "";
  }
  for (long r = 0; r < routes; ++r) {
    long from = n[2 + 2 * r];
    long to = n[3 + 2 * r];
    if (to >= outputs)
      return fail("invalid -af channels='" + std::string(args) + "': no output " +
                  std::to_string(to));
    // A route from a channel the source lacks takes its last channel, so
    // "right" on a mono source is the mono signal rather than silence.
    from = std::min<long>(from, inputs - 1);
    sources[to] = "c" + std::to_string(from);
  }
  std::string pan = "pan=" + layoutName(outputs);
  for (int o = 0; o < outputs; ++o)
    pan += "|c" + std::to_string(o) + "=" + (sources[o].empty() ? "0*c0" : sources[o]);
  FilterChain c;
  c.description = pan;
  c.outputChannels = outputs;
  return c;
}

FilterChain PanToPan(std::string_view args, int inputChannels) {
  std::vector<std::string> parts = SplitList(args, ':');
  auto outputs = parts.empty() ? std::nullopt : ToInt(parts[0]);
  if (!outputs || *outputs < 1 || *outputs > 8)
    return fail("invalid -af pan='" + std::string(args) + "'");
  int out = static_cast<int>(*outputs);
  std::vector<double> gains;
  for (size_t i = 1; i < parts.size(); ++i) {
    auto g = ToDouble(parts[i]);
    if (!g) return fail("invalid -af pan='" + std::string(args) + "'");
    gains.push_back(*g);
  }
  if (gains.size() % out != 0)
    return fail("invalid -af pan='" + std::string(args) + "': incomplete gain matrix");
  int inputs = std::max(inputChannels, 1);
  int listedInputs = static_cast<int>(gains.size()) / out;
  std::string pan = "pan=" + layoutName(out);
  for (int o = 0; o < out; ++o) {
    std::string expr;
    for (int i = 0; i < std::min(listedInputs, inputs); ++i) {
      double g = gains[static_cast<size_t>(i) * out + o];
      if (g == 0) continue;
      if (!expr.empty()) expr += "+";
      expr += FormatNumber(g) + "*c" + std::to_string(i);
    }
    pan += "|c" + std::to_string(o) + "=" + (expr.empty() ? "0*c0" : expr);
  }
  FilterChain c;
  c.description = pan;
  c.outputChannels = out;
  return c;
}

FilterChain VolumeToFilters(std::string_view args) {
  std::vector<std::string> parts = SplitList(args, ':');
  std::string gain = parts.empty() ? "" : parts[0];
  std::string lowered;
  lowered += AsciiLower(std::string(gain));
  if (lowered.size() > 2 && lowered.substr(lowered.size() - 2) == "db")
    lowered.resize(lowered.size() - 2);
  auto db = ToDouble(lowered);
  if (!db || *db < -200 || *db > 60) return fail("invalid -af volume='" + std::string(args) + "'");
  bool softClip = false;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i] == "sc" || parts[i] == "1")
      softClip = true;
    else if (parts[i] != "0")
      return fail("invalid -af volume='" + std::string(args) + "'");
  }
  FilterChain c;
  c.description = "volume=" + FormatNumber(*db) + "dB";
  // A boost can push peaks past full scale; a delay-compensated limiter
  // keeps them in range without changing the level of quiet material.
  if (*db > 0 || softClip) c.description += ",alimiter=limit=0.97:level=0:latency=1";
  return c;
}

FilterChain TranslateAudioFilters(std::string_view af, int inputChannels) {
  FilterChain result;
  if (af.empty()) return result;
  int channels = inputChannels;
  for (const std::string& item : SplitList(af, ',')) {
    auto eq = item.find('=');
    std::string name = item.substr(0, eq);
    std::string args = eq == std::string::npos ? "" : item.substr(eq + 1);
    FilterChain piece;
    if (name == "channels") {
      piece = ChannelsToPan(args, channels);
    } else if (name == "pan") {
      piece = PanToPan(args, channels);
    } else if (name == "volume") {
      piece = VolumeToFilters(args);
    } else if (name == "volnorm") {
      // Short frames and window so clips of a few seconds are normalised
      // too; boundary mode stops it easing in from unity gain.
      piece.description = "dynaudnorm=f=100:g=15:b=1";
    } else if (name == "resample" || name == "lavcresample") {
      continue;  // The graph always ends in aresample to the target rate.
    } else {
      return fail("unsupported audio filter '" + name + "' in -af");
    }
    if (!piece.error.empty()) return piece;
    if (piece.outputChannels) {
      channels = piece.outputChannels;
      result.outputChannels = channels;
    }
    append(result.description, piece.description);
  }
  return result;
}

std::string UprightFilters(double degrees) {
  if (!std::isfinite(degrees)) return {};
  // Clockwise turn in [0, 360), with values just below a quarter rounded up.
  double theta = -std::round(degrees);
  theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
  if (std::fabs(theta - 90) < 1.0) return "transpose=clock";
  if (std::fabs(theta - 180) < 1.0) return "hflip,vflip";
  if (std::fabs(theta - 270) < 1.0) return "transpose=cclock";
  if (std::fabs(theta) > 1.0 && std::fabs(theta - 360) > 1.0)
    return "rotate=" + FormatNumber(theta) + "*PI/180";
  return {};
}

std::string VideoGraph(const std::string& userChain, int fpsNum, int fpsDen, double endSeconds,
                       double startSeconds) {
  // start_time=0 makes the first output frame the picture showing at the
  // (rebased) start position, so a seek is frame-accurate. The rate stays a
  // fraction: 30000/1001 written as a decimal would become a time base no
  // MPEG-4 encoder accepts.
  std::string g = "fps=fps=" + std::to_string(fpsNum) + "/" + std::to_string(fpsDen) +
                  ":start_time=" + FormatNumber(startSeconds);
  if (endSeconds > 0) g += ",trim=end=" + FormatNumber(endSeconds);
  if (userChain.find("scale=") == std::string::npos && userChain.find("pad=") == std::string::npos)
    g += ",scale=w='trunc(iw/2)*2':h='trunc(ih/2)*2'";  // 4:2:0 encoders need even sizes
  append(g, userChain);
  g += ",format=yuv420p";
  return g;
}

std::string PlayVideoGraph(double endSeconds) {
  std::string g = "trim=start=0";
  if (endSeconds > 0) g += ":end=" + FormatNumber(endSeconds);
  return g + ",format=yuv420p";
}

std::string AudioGraph(const std::string& userChain, double endSeconds, int sampleRate,
                       const std::string& sampleFormat, const std::string& channelLayout,
                       long long firstPts) {
  std::string g = "atrim=start=0";
  if (endSeconds > 0) g += ":end=" + FormatNumber(endSeconds);
  append(g, userChain);
  g += ",aresample=" + std::to_string(sampleRate) +
       ":async=1:first_pts=" + std::to_string(firstPts) + ",aformat=sample_fmts=" + sampleFormat +
       ":sample_rates=" + std::to_string(sampleRate) + ":channel_layouts=" + channelLayout;
  return g;
}

}  // namespace orv::engine
