// A single-instance lock that the system releases when the holding process
// ends, however it ends. One lock per engine working folder: two users each
// run their own copy, a second start by the same user is refused.
#pragma once

#include <string>

namespace orv {

inline constexpr const char* kInstanceName = "orvantic";

class InstanceLock {
 public:
  // Tries to take the lock of that name; Held() tells whether it succeeded.
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// kInstanceName and the working folder it guards, unless
// ORVANTIC_INSTANCE_NAME names another lock (tests use that so they do not
// collide with a copy the user is running).
std::string InstanceLockName(const std::string& workingFolder);

}  // namespace orv
