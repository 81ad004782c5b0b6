#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

namespace orv {
namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit when it follows a path
constexpr int kNameAttempts = 100;
// Of the target's name, so much goes into the temporary's name that the
// whole stays within the 255 bytes a name may have.
constexpr std::size_t kNameKept = 200;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithSlash(const std::string& folder) {
  return folder.back() == '/' ? folder : folder + "/";
}

// Follows symbolic links to the file they name, which need not exist yet.
// Returns 0 or an errno value.
int FollowLinks(std::string* path) {
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (::lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path->c_str(), target.data(), target.size());
    if (n < 0) return errno;
    if (n == 0 || static_cast<std::size_t>(n) >= target.size()) return ENAMETOOLONG;
    target.resize(static_cast<std::size_t>(n));
    *path = target.front() == '/' ? target : WithSlash(FolderOf(*path)) + target;
  }
  return ELOOP;
}

// Six letters or digits that differ between calls and between processes.
std::string UniqueSuffix() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = static_cast<uint64_t>(::getpid()) << 32;
  x ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  x += ++counter * 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, x /= 36) suffix += kChars[x % 36];
  return suffix;
}

// Creates ".<name>.<suffix>.tmp" beside target, as mkstemp does but with
// mode (the umask applies, as to any new file). The descriptor, or -1 with
// errno set.
int CreateTemporary(const std::string& target, mode_t mode, std::string* temp) {
  std::string name = target.substr(target.rfind('/') + 1);
  if (name.size() > kNameKept) name.resize(kNameKept);
  const std::string start = WithSlash(FolderOf(target)) + "." + name + ".";
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    *temp = start + UniqueSuffix() + ".tmp";
    const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void KeepOwnerAndMode(int fd, const struct stat& old) {
  mode_t mode = old.st_mode & 07777;
  const bool ours = old.st_uid == ::geteuid() && old.st_gid == ::getegid();
  // An owner or group we may not give (we are not root): the file becomes
  // ours, and the people the old group let in are not let in by ours.
  if (!ours && ::fchown(fd, old.st_uid, old.st_gid) != 0) mode &= ~mode_t{077};
  // The umask may have taken bits the old file had. A failure leaves the new
  // file stricter than the old one, never looser.
  ::fchmod(fd, mode);
}

int WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the new file is in place; only its durability is less sure
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

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

namespace {

// The last part of a path when it names an entry itself ("", "." and ".."
// name another entry through its folder).
std::string OrdinaryName(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name == "." || name == ".." ? std::string() : name;
}

}  // namespace

FileKey::FileKey(const std::string& path) : path_(path), name_(OrdinaryName(path)) {
  struct stat st {};
  exists_ = !path.empty() && ::stat(path.c_str(), &st) == 0;
  if (exists_) {
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
  }
}

bool FileKey::SameAs(const std::string& other) const {
  if (path_.empty() || other.empty()) return false;
  struct stat st {};
  const bool otherExists = ::stat(other.c_str(), &st) == 0;
  if (exists_ && otherExists)
    return device_ == static_cast<std::uint64_t>(st.st_dev) &&
           inode_ == static_cast<std::uint64_t>(st.st_ino);
  if (exists_ != otherExists) return false;
  if (!name_.empty()) {
    const std::string otherName = OrdinaryName(other);
    if (!otherName.empty() && otherName != name_) return false;
  }
  if (comparable_.empty()) comparable_ = ComparablePath(path_);
  return comparable_ == ComparablePath(other);
}

bool SameFile(const std::string& a, const std::string& b) { return FileKey(a).SameAs(b); }

FileReadResult ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string* bytes,
                             std::string* reason) {
  auto failed = [reason](const std::string& why) {
    if (reason) *reason = why;
    return FileReadResult::OpenFailed;
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return failed(SystemReason(errno));
  if (S_ISDIR(st.st_mode)) return failed(SystemReason(EISDIR));
  // A pipe or a device could block the reader or never end.
  if (!S_ISREG(st.st_mode)) return failed("it is not a regular file");
  if (static_cast<uint64_t>(st.st_size) > maxBytes) return FileReadResult::TooLarge;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failed(SystemReason(errno));
  bytes->clear();
  bytes->reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  int error = 0;
  while (bytes->size() <= maxBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    bytes->append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (error) return failed(SystemReason(error));
  // The file grew while it was read.
  if (bytes->size() > maxBytes) return FileReadResult::TooLarge;
  return FileReadResult::Ok;
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
  if (path.empty()) return SystemReason(ENOENT);
  std::string target = path;
  if (const int error = FollowLinks(&target)) return SystemReason(error);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return SystemReason(EISDIR);
  // A device or a pipe would be replaced by a plain file of its name.
  if (exists && !S_ISREG(old.st_mode)) return "it is not a regular file";

  std::string temp;
  const int fd = CreateTemporary(target, exists ? (old.st_mode & 07777) : 0666, &temp);
  if (fd < 0) return SystemReason(errno);
  if (exists) KeepOwnerAndMode(fd, old);
  int error = WriteAll(fd, bytes);
  // Without this a crash soon after the rename can leave an empty file.
  if (!error && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temp.c_str());
    return SystemReason(error);
  }
  SyncFolder(FolderOf(target));
  return {};
}

}  // namespace orv
