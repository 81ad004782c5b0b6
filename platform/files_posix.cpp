#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace orv {

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DeleteByName(std::string path) {
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (!FileExists(path)) return true;
    ::unlink(path.c_str());
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return !FileExists(path);
}

std::string ComparablePath(const std::string& path) {
  if (path.empty()) return path;
  namespace fs = std::filesystem;
  // The folder as the system resolves it: "link/.." is the parent of the
  // link's target, not the folder the link sits in.
  const fs::path given(path);
  fs::path folder = given.parent_path();
  if (folder.empty()) folder = ".";
  char real[PATH_MAX];
  if (::realpath(folder.c_str(), real)) return (fs::path(real) / given.filename()).string();
  std::error_code error;
  const fs::path absolute = fs::absolute(given.lexically_normal(), error);
  return (error ? given.lexically_normal() : absolute.lexically_normal()).string();
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  struct stat sa{}, sb{};
  const bool haveA = ::stat(a.c_str(), &sa) == 0;
  const bool haveB = ::stat(b.c_str(), &sb) == 0;
  if (haveA && haveB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (haveA != haveB) return false;
  return ComparablePath(a) == ComparablePath(b);
}

}  // namespace orv
