#include "platform/ini_file.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace orv {
namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path, bool* exists) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  *exists = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "[name]" gives name; anything else gives nothing.
std::optional<std::string> SectionName(const std::string& line) {
  std::string t = TrimBlanks(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  auto close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return TrimBlanks(t.substr(1, close - 1));
}

// "key=value" gives key; comments and lines without '=' give nothing.
std::optional<std::string> KeyName(const std::string& line, std::string* value) {
  std::string t = TrimBlanks(line);
  if (t.empty() || t[0] == ';') return std::nullopt;
  auto eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  if (value) *value = TrimBlanks(t.substr(eq + 1));
  return TrimBlanks(t.substr(0, eq));
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path,
                             std::size_t bufferSize) {
  bool exists = false;
  auto lines = ReadLines(path, &exists);
  std::optional<std::string> result;
  bool inSection = false;
  for (const auto& line : lines) {
    if (auto name = SectionName(line)) {
      inSection = EqualsNoCase(*name, section);
      continue;
    }
    std::string value;
    if (inSection) {
      if (auto k = KeyName(line, &value); k && EqualsNoCase(*k, key)) {
        result = Unquote(value);
        break;
      }
    }
  }
  std::string out = result ? *result : TrimBlanks(defaultValue);
  if (bufferSize == 0) return {};
  if (out.size() > bufferSize - 1) out.resize(bufferSize - 1);
  return out;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
  bool exists = false;
  auto lines = ReadLines(path, &exists);
  const std::string entry = key + "=" + value;

  std::optional<std::size_t> sectionLine;
  std::size_t insertAt = lines.size();
  bool replaced = false;
  for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
    if (auto name = SectionName(lines[i])) {
      if (sectionLine) break;  // past the end of our section
      if (EqualsNoCase(*name, section)) {
        sectionLine = i;
        insertAt = i + 1;
      }
      continue;
    }
    if (!sectionLine) continue;
    if (auto k = KeyName(lines[i], nullptr)) {
      if (EqualsNoCase(*k, key)) {
        lines[i] = entry;
        replaced = true;
      } else {
        insertAt = i + 1;
      }
    } else if (!TrimBlanks(lines[i]).empty()) {
      insertAt = i + 1;
    }
  }
  if (!replaced) {
    if (sectionLine) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
  }

  std::string text;
  for (const auto& l : lines) text += l + '\n';
  return WriteFileAtomically(path, text).empty();
}

}  // namespace orv
