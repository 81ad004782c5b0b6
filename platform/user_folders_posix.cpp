#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/text.h"

namespace orv {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The value of a shell assignment as xdg-user-dirs writes it:
// "$HOME/Videos" or "/media/films", with \" \\ \$ \` escaped. Empty when the
// value is neither.
std::string ExpandValue(const std::string& raw, const std::string& home) {
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return {};
  std::string value;
  for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
    value += raw[i];
  }
  for (const std::string variable : {"$HOME", "${HOME}"}) {
    if (value.compare(0, variable.size(), variable) == 0 &&
        (value.size() == variable.size() || value[variable.size()] == '/'))
      return home + value.substr(variable.size());
  }
  return value.empty() || value.front() != '/' ? std::string() : value;
}

// The last XDG_VIDEOS_DIR assignment of the file, as the shell would leave it.
std::string VideosDirOfFile(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line, found;
  while (std::getline(in, line)) {
    const std::string text = TrimBlanks(line);
    const std::string key = "XDG_VIDEOS_DIR=";
    if (text.compare(0, key.size(), key) == 0) found = ExpandValue(text.substr(key.size()), home);
  }
  return found;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::string VideosFolderFrom(const UserFolderInputs& in) {
  const std::string home = WithoutTrailingSlashes(in.home);
  // XDG: a relative path in these variables is invalid and is ignored.
  const std::string config = !in.configHomeVariable.empty() && in.configHomeVariable[0] == '/'
                                 ? in.configHomeVariable
                                 : home + "/.config";
  std::string videos = VideosDirOfFile(config + "/user-dirs.dirs", home);
  if (videos.empty() && !in.videosDirVariable.empty() && in.videosDirVariable[0] == '/')
    videos = in.videosDirVariable;
  videos = WithoutTrailingSlashes(videos);
  if (videos.empty() || videos == home) return (home == "/" ? "" : home) + "/Videos";
  return videos;
}

std::string UserVideosFolder() {
  UserFolderInputs in{Env("HOME"), Env("XDG_CONFIG_HOME"), Env("XDG_VIDEOS_DIR")};
  if (in.home.empty() || in.home[0] != '/') {
    const passwd* account = ::getpwuid(::getuid());
    in.home = account && account->pw_dir ? account->pw_dir : "/";
  }
  return VideosFolderFrom(in);
}

}  // namespace orv
