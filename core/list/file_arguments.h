// Paths that reach the list without the Add File dialog: files given on the
// command line and files or folders dropped onto the list.
#pragma once

#include <string>
#include <vector>

namespace orv {

// True when the name ends with one of the Add File filter's "Supported
// Files" extensions (case does not matter).
bool IsSupportedVideoName(const std::string& name);

// Files stay as given; a folder gives its supported files (not those of its
// subfolders) in name order; anything else is dropped.
std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string>& paths);

}  // namespace orv
