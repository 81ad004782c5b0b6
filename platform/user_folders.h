// The user's own folders as the desktop names them (xdg-user-dirs).
#pragma once

#include <string>

namespace orv {

struct UserFolderInputs {
  std::string home;                // HOME
  std::string configHomeVariable;  // XDG_CONFIG_HOME
  std::string videosDirVariable;   // XDG_VIDEOS_DIR
};

// The videos folder: XDG_VIDEOS_DIR from <config>/user-dirs.dirs (the file
// `xdg-user-dir VIDEOS` reads), else from the environment, else
// <home>/Videos. A setting that names the home folder itself means "none",
// as xdg-user-dirs writes it for a folder the user did not want. The folder
// need not exist.
std::string VideosFolderFrom(const UserFolderInputs& in);

// VideosFolderFrom this process's environment; without HOME, the home folder
// of the user's account.
std::string UserVideosFolder();

}  // namespace orv
