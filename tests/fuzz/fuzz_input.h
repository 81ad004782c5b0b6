// Helpers of the fuzz targets: the input cut into parts, and a scratch
// folder of the process for readers that take a path.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orv::fuzz {

inline std::string_view Bytes(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Parts between separator bytes (an empty part where two meet).
inline std::vector<std::string> Parts(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

// A folder of this process, made on first use, ending with '/'.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    static std::string made = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(made, ignored);
    });
    return pattern + "/";
  }();
  return folder;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, f) != 1) std::abort();
  std::fclose(f);
}

}  // namespace orv::fuzz
