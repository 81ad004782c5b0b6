// The first error any stage of a run reports; later ones are consequences
// (the abort it caused) and are dropped.
#pragma once

#include <mutex>
#include <string>

namespace orv::engine {

class FirstError {
 public:
  void set(const std::string& message) {
    std::lock_guard lock(mutex_);
    if (message_.empty()) message_ = message;
  }
  bool empty() const {
    std::lock_guard lock(mutex_);
    return message_.empty();
  }
  std::string message() const {
    std::lock_guard lock(mutex_);
    return message_;
  }

 private:
  mutable std::mutex mutex_;
  std::string message_;
};

}  // namespace orv::engine
