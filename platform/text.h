// Small text helpers shared by both programs: ASCII-only case folding
// (UTF-8 bytes pass unchanged), trimming of blanks, and numbers and times
// read independently of the C locale.
#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

inline std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The message text with its "%1" (the first one) replaced by value; a text
// without one is returned as it is.
inline std::string FillIn(std::string text, const std::string& value) {
  const auto at = text.find("%1");
  return at == std::string::npos ? text : text.replace(at, 2, value);
}

// Removes blanks and tabs (and line ends) at both ends.
inline std::string TrimBlanks(const std::string& s) {
  const char* ws = " \t\r\n";
  auto b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// The whole text as an integer ("12", "+5", "-3"); nothing otherwise.
inline std::optional<long long> ParseInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  long long value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// The whole text as a finite number ("2.5", "+5", "1e3"); nothing otherwise.
inline std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// "hh:mm:ss[.xx]", "mm:ss[.xx]" or plain seconds, blanks around allowed.
// Only the last field may have a fraction, and the fields after the first
// stay below 60: "1:75" is no time.
inline std::optional<double> ParseTimeText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  double total = 0;
  int fields = 0;
  while (true) {
    const std::size_t colon = text.find(':');
    const std::string_view field = text.substr(0, colon);
    const bool last = colon == std::string_view::npos;
    std::optional<double> value;
    if (last) {
      value = ParseNumber(field);
    } else if (auto n = ParseInteger(field)) {
      value = static_cast<double>(*n);
    }
    if (!value || *value < 0 || field.front() == '+' || (fields > 0 && *value >= 60))
      return std::nullopt;
    total = total * 60 + *value;
    if (++fields > 3) return std::nullopt;
    if (last) return total;
    text.remove_prefix(colon + 1);
  }
}

}  // namespace orv
