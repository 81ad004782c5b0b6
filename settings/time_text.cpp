#include "settings/time_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orv {
namespace {

struct Parts {
  long long h = 0, m = 0, s = 0, cs = 0;
};

Parts Split(double t) {
  Parts p;
  if (!std::isfinite(t) || t < 0 || t > 3.6e12) return p;
  p.h = static_cast<long long>(t / 3600);
  double rest = t - 3600.0 * static_cast<double>(p.h);
  p.m = static_cast<long long>(rest / 60);
  rest -= 60.0 * static_cast<double>(p.m);
  p.s = static_cast<long long>(rest);
  rest -= static_cast<double>(p.s);
  p.cs = static_cast<long long>(rest * 100) % 100;
  return p;
}

std::string Two(long long v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

std::string FormatTime(double seconds) {
  Parts p = Split(seconds);
  return Two(p.h) + ":" + Two(p.m) + ":" + Two(p.s) + "." + Two(p.cs);
}

std::string FormatDvdTime(double seconds) {
  Parts p = Split(seconds);
  return Two(p.h) + ":" + Two(p.m) + ":" + Two(p.s);
}

std::optional<double> ParseTime(const std::string& text) {
  std::vector<double> fields;
  std::size_t start = 0;
  const std::size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  if (b == std::string::npos) return std::nullopt;
  std::string t = text.substr(b, e - b + 1);
  while (true) {
    std::size_t colon = t.find(':', start);
    std::string part = t.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    double v = 0;
    auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), v,
                                     std::chars_format::fixed);
    if (part.empty() || ec != std::errc() || ptr != part.data() + part.size() || v < 0)
      return std::nullopt;
    fields.push_back(v);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (fields.size() > 3) return std::nullopt;
  double total = 0;
  for (double f : fields) total = total * 60 + f;
  return total;
}

std::string FormatFixed6(double value) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  if (ec != std::errc()) return "0.000000";
  return std::string(buf, ptr);
}

}  // namespace orv
