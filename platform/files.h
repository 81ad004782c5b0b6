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

// The path a file is known by whatever spelling names it: the real path of
// its folder (symbolic links, "." and ".." resolved) and its own name. A
// folder that does not exist yet keeps its spelling, lexically normalised.
std::string ComparablePath(const std::string& path);

// True when the two paths name one file: the same device and inode when both
// exist, otherwise the same comparable path. Empty paths name nothing.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace orv
