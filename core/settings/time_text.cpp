#include "core/settings/time_text.h"

#include "platform/text.h"

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

std::optional<double> ParseTime(const std::string& text) { return ParseTimeText(text); }

namespace {

// The field of two characters at pos read as a C atoi would.
long FixedField(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const std::string field = text.substr(pos, 2);
  std::size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  long v = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) v = v * 10 + (field[i] - '0');
  return negative ? -v : v;
}

}  // namespace

double ReadFixedTimeText(const std::string& text) {
  return static_cast<double>(FixedField(text, 0) * 3600 + FixedField(text, 3) * 60 +
                             FixedField(text, 6)) +
         static_cast<double>(FixedField(text, 9)) / 100.0;
}

bool LooksLikeTimeText(const std::string& text) {
  std::string t = text;
  if (t.size() > 10) {
    const auto b = t.find_first_not_of(' ');
    const auto e = t.find_last_not_of(' ');
    t = b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
  }
  return t.size() == 11 && t[2] == ':' && t[5] == ':' && t[8] == '.';
}

std::string FormatFixed6(double value) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  if (ec != std::errc()) return "0.000000";
  return std::string(buf, ptr);
}

}  // namespace orv
