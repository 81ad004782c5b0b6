#include "core/list/file_arguments.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/text.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_list.h"

namespace orv {
namespace {

// "*.avi;*.mov;..." of the filter's first entry, as ".avi", ".mov", ...
std::vector<std::string> SupportedExtensions() {
  std::vector<std::string> out;
  const std::vector<std::string> parts = SplitOptionList(kAddFileFilter);
  if (parts.size() < 2) return out;
  const std::string& patterns = parts[1];
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string pattern = patterns.substr(start, end - start);
    if (pattern.size() > 1 && pattern[0] == '*') out.push_back(AsciiLower(pattern.substr(1)));
    start = end + 1;
  }
  return out;
}

}  // namespace

bool IsSupportedVideoName(const std::string& name) {
  static const std::vector<std::string> extensions = SupportedExtensions();
  const std::string lower = AsciiLower(name);
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& ext) {
    return lower.size() > ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
  });
}

std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string>& paths) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      std::vector<std::string> inside;
      for (const auto& entry : fs::directory_iterator(path, ec)) {
        std::error_code fileError;
        if (entry.is_regular_file(fileError) && IsSupportedVideoName(entry.path().filename()))
          inside.push_back(entry.path().string());
      }
      std::sort(inside.begin(), inside.end());
      out.insert(out.end(), inside.begin(), inside.end());
    } else if (fs::is_regular_file(path, ec)) {
      out.push_back(path);
    }
  }
  return out;
}

}  // namespace orv
