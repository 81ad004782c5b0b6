#include "platform/instance_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace orv {

// An abstract-namespace socket: binding fails while another process holds the
// name, and the kernel frees it when that process ends, even when killed.
InstanceLock::InstanceLock(const std::string& name) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::size_t len = std::min(name.size(), sizeof(addr.sun_path) - 1);
  std::memcpy(addr.sun_path + 1, name.data(), len);
  auto addrLen = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + len);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), addrLen) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string InstanceLockName(const std::string& workingFolder) {
  if (const char* n = std::getenv("ORVANTIC_INSTANCE_NAME"); n && *n) return n;
  std::string name = std::string(kInstanceName) + ":" + workingFolder;
  // The socket name holds 107 bytes; a longer folder is named by a hash.
  if (name.size() > 100) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : workingFolder) h = (h ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    name = std::string(kInstanceName) + ":#" + hex;
  }
  return name;
}

}  // namespace orv
