#include "platform/installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#ifndef ORV_ENGINE_FROM_BIN
#define ORV_ENGINE_FROM_BIN "../libexec/orvantic/"
#endif
#ifndef ORV_DATA_FROM_BIN
#define ORV_DATA_FROM_BIN "../share/orvantic/"
#endif

namespace orv {

const char* const kInstalledEngineFolder = ORV_ENGINE_FROM_BIN;
const char* const kInstalledDataFolder = ORV_DATA_FROM_BIN;

namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

// The real path of a folder, with a trailing '/'; the text itself when it
// does not exist. The watchdog compares real paths byte for byte.
std::string RealFolder(const std::string& folder) {
  char real[PATH_MAX];
  return WithSlash(::realpath(folder.c_str(), real) ? real : folder);
}

// Creates every missing folder on the way with mode 0700.
bool MakeFolders(const std::string& folder) {
  std::string path;
  for (std::size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == kPathSeparator) {
      if (!path.empty() && !IsFolder(path) && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    }
    if (i < folder.size()) path += folder[i];
  }
  return IsFolder(folder);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::string Installation::EngineLocation() const { return JoinPath(engineFolder, kEngineFileName); }

std::string Installation::SettingsFilePath() const {
  return settingsFile.empty() ? JoinPath(programFolder, kSettingsFileName) : settingsFile;
}

std::string Installation::HelpFilePath() const {
  return JoinPath(helpFolder.empty() ? programFolder : helpFolder, kHelpFileName);
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

bool UsesUserFolders(const std::string& executableFolder) {
  if (IsFolder(executableFolder + kInstalledDataFolder)) return true;
  return ::access(executableFolder.c_str(), W_OK) != 0;
}

bool MakePrivateFolder(const std::string& folder, unsigned uid) {
  if (!MakeFolders(folder)) return false;
  struct stat st {};
  // lstat: a link planted by someone else is not our folder.
  std::string path = folder;
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

Installation ResolveInstallation(const InstallationInputs& in) {
  Installation inst;
  const std::string exe = WithSlash(in.executableFolder);
  inst.programFolder = exe;
  inst.helpFolder = exe;
  if (!IsFile(JoinPath(exe, kHelpFileName)) && IsFolder(exe + kInstalledDataFolder))
    inst.helpFolder = RealFolder(exe + kInstalledDataFolder);

  if (!in.engineDirVariable.empty()) {
    inst.engineFolder = RealFolder(in.engineDirVariable);
  } else if (!IsFile(JoinPath(exe, kEngineFileName)) &&
             IsFile(exe + kInstalledEngineFolder + kEngineFileName)) {
    inst.engineFolder = RealFolder(exe + kInstalledEngineFolder);
  } else {
    inst.engineFolder = exe;
  }

  if (!UsesUserFolders(exe)) return inst;

  const std::string home = in.homeVariable.empty() ? in.tempFolder : in.homeVariable;
  // XDG: a relative path in these variables is invalid and is ignored.
  const std::string config = !in.configHomeVariable.empty() && in.configHomeVariable[0] == '/'
                                 ? in.configHomeVariable
                                 : JoinPath(home, ".config");
  const std::string configFolder = WithSlash(JoinPath(config, "orvantic"));
  MakeFolders(configFolder);
  inst.settingsFile = JoinPath(configFolder, kSettingsFileName);

  std::string work;
  if (!in.runtimeDirVariable.empty() && in.runtimeDirVariable[0] == '/') {
    work = WithSlash(JoinPath(in.runtimeDirVariable, "orvantic"));
    if (!MakePrivateFolder(work, in.userId)) work.clear();
  }
  if (work.empty()) {
    work = WithSlash(JoinPath(in.tempFolder, "orvantic-" + std::to_string(in.userId)));
    if (!MakePrivateFolder(work, in.userId)) {
      // The usual name is taken by someone else: a fresh private folder.
      std::string pattern = JoinPath(in.tempFolder, "orvantic-" + std::to_string(in.userId)) +
                            "-XXXXXX";
      work = ::mkdtemp(pattern.data()) ? WithSlash(pattern) : exe;
    }
  }
  inst.programFolder = RealFolder(work);
  return inst;
}

Installation CurrentInstallation() {
  InstallationInputs in;
  in.executableFolder = ExecutableFolder();
  in.engineDirVariable = Env("ORVANTIC_ENGINE_DIR");
  in.configHomeVariable = Env("XDG_CONFIG_HOME");
  in.runtimeDirVariable = Env("XDG_RUNTIME_DIR");
  in.homeVariable = Env("HOME");
  in.userId = ::getuid();
  return ResolveInstallation(in);
}

}  // namespace orv
