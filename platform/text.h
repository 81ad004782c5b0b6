// Small text helpers for option texts: ASCII-only case folding (UTF-8 bytes
// pass unchanged) and trimming of blanks.
#pragma once

#include <string>

namespace orv {

inline std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Removes blanks and tabs (and line ends) at both ends.
inline std::string TrimBlanks(const std::string& s) {
  const char* ws = " \t\r\n";
  auto b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

}  // namespace orv
