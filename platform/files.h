// Small file operations on exact names.
#pragma once

#include <cstddef>
#include <cstdint>
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

// One path to be compared with many as SameFile does, worked out once: its
// file looked up once, and the real path of its folder only for a path whose
// own name matches, since paths with other names cannot name the same
// missing file.
class FileKey {
 public:
  explicit FileKey(const std::string& path);
  bool SameAs(const std::string& other) const;

 private:
  std::string path_;
  std::string name_;  // the last part, when it is an ordinary name
  bool exists_ = false;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  mutable std::string comparable_;  // ComparablePath(path_), once needed
};

// Replaces the file at path with bytes so that, whatever happens (a full
// disk, a crash, a power cut), the file holds either its old or its new
// contents, never a part: the bytes go to a new file in the same folder,
// reach the disk, and that file is renamed over the old one. An existing
// file keeps its permission bits (and owner where allowed); a symbolic link
// stays a link and its target gets the new contents. Returns "" on success,
// else the system's reason ("No space left on device"); the old file is then
// as it was and no temporary file stays.
std::string WriteFileAtomically(const std::string& path, const std::string& bytes);

enum class FileReadResult { Ok, OpenFailed, TooLarge };
// The whole file, refused unread when it holds more than maxBytes. On
// OpenFailed, *reason (when given) gets the system's reason.
FileReadResult ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string* bytes,
                             std::string* reason = nullptr);

// The system's text for an errno value.
std::string SystemReason(int error);

}  // namespace orv
