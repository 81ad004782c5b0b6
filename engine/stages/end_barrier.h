// Where every stream of a run ends: each stream's stage reports how far its
// decoder got and waits for the others; all then end at the furthest point
// (capped by the wanted range), so picture and sound last equally long.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace orv::engine {

class EndBarrier {
 public:
  // cap > 0 limits the common end (the -endpos length).
  EndBarrier(int parties, double cap) : waiting_(parties), cap_(cap) {}

  // Blocks until every stream has arrived; the common end, or -1 when the
  // run was aborted meanwhile.
  double arrive(double decodedEnd) {
    std::unique_lock lock(mutex_);
    end_ = std::max(end_, decodedEnd);
    if (--waiting_ <= 0) allArrived_.notify_all();
    allArrived_.wait(lock, [&] { return waiting_ <= 0 || aborted_; });
    if (aborted_) return -1;
    return cap_ > 0 ? std::min(end_, cap_) : end_;
  }

  void abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    allArrived_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable allArrived_;
  int waiting_;
  double cap_;
  double end_ = 0;
  bool aborted_ = false;
};

}  // namespace orv::engine
