#include "platform/installation.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace orv {

std::string Installation::EngineLocation() const { return JoinPath(engineFolder, kEngineFileName); }

std::string Installation::SettingsFilePath() const {
  return JoinPath(programFolder, kSettingsFileName);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

std::string ExecutableFolder() {
  std::vector<char> buf(PATH_MAX + 1);
  ssize_t len = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (len <= 0) return "./";
  std::string path(buf.data(), static_cast<std::size_t>(len));
  auto slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

Installation CurrentInstallation() {
  Installation inst;
  inst.programFolder = ExecutableFolder();
  inst.engineFolder = inst.programFolder;
  if (const char* dir = std::getenv("ORVANTIC_ENGINE_DIR"); dir && *dir) {
    // The watchdog compares real paths, so the folder is resolved once here.
    char real[PATH_MAX];
    inst.engineFolder = ::realpath(dir, real) ? real : dir;
  }
  return inst;
}

}  // namespace orv
