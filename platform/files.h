// Small file operations on exact names.
#pragma once

#include <string>

namespace orv {

bool FileExists(const std::string& path);

// Deletes the file of that exact name, repeating while it is still there, up
// to kDeleteAttempts tries (a file that can never go, such as one in a
// read-only folder, must not hang the caller). Returns true when it is gone.
inline constexpr int kDeleteAttempts = 50;
bool DeleteByName(std::string path);

}  // namespace orv
