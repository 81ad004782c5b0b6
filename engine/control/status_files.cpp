#include "engine/control/status_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "engine/av_support.h"

namespace orv::engine {

std::string StatusPath(const std::string& folder, const char* name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

ControlPoller::ControlPoller(std::string folder) : path_(StatusPath(folder, kControlFile)) {
  clock_gettime(CLOCK_REALTIME, &started_);
}

EngineCommand ControlPoller::poll() {
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return last_;
  EngineControl control;
  struct stat st {};
  ssize_t got = ::pread(fd, &control, sizeof control, 0);
  bool haveStat = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof control)) return last_;
  auto command = static_cast<EngineCommand>(control.command);
  if (command != EngineCommand::Run && command != EngineCommand::Pause &&
      command != EngineCommand::Stop)
    return last_;
  // A Stop written before we started is left over from an earlier run
  // (identify runs are started with Stop in the file); only a fresh one counts.
  if (command == EngineCommand::Stop && haveStat &&
      (st.st_mtim.tv_sec < started_.tv_sec ||
       (st.st_mtim.tv_sec == started_.tv_sec && st.st_mtim.tv_nsec < started_.tv_nsec)))
    return last_;
  last_ = command;
  return last_;
}

PositionWriter::PositionWriter(const std::string& folder) {
  std::string path = StatusPath(folder, kPositionFile);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
}

PositionWriter::~PositionWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void PositionWriter::write(double seconds) {
  if (fd_ < 0) return;  // Progress is advisory; a read-only folder must not stop the encode.
  static_assert(sizeof(double) == kPositionBytes);
  unsigned char bytes[kPositionBytes];
  std::memcpy(bytes, &seconds, sizeof bytes);  // x86-64 and arm64 are little-endian
  // One 8-byte pwrite at offset 0 replaces the value whole.
  if (::pwrite(fd_, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes))
    (void)::ftruncate(fd_, sizeof bytes);
}

void WriteMediaInfo(const std::string& folder, const MediaInfo& info) {
  std::string path = StatusPath(folder, kMediaInfoFile);
  std::string temp = path + ".tmp-" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw EngineError("cannot write " + path + ": " + std::strerror(errno));
  const char* data = reinterpret_cast<const char*>(&info);
  size_t left = sizeof info;
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      throw EngineError("cannot write " + path + ": " + std::strerror(err));
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    throw EngineError("cannot write " + path + ": " + std::strerror(err));
  }
}

}  // namespace orv::engine
