#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace orv
