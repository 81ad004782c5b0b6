// A queue between two pipeline stages: a producer waits while it is full, so
// a fast stage cannot run away with memory; a consumer waits while it is
// empty. close() lets the consumer drain what is left; abort() wakes both
// sides at once and drops everything (stop, errors).
//
// With a wake batch above one, a waiting side is woken once a batch is there
// (items for the consumer, room for the producer) rather than for every item:
// where one side is much faster it would otherwise sleep and wake for each
// packet. A waiting side also looks again every couple of milliseconds, so a
// batch that never fills (a stream that ended, a stage waiting elsewhere)
// delays nothing for longer than that.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace orv::engine {

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(std::size_t capacity, std::size_t wakeBatch = 1)
      : capacity_(capacity ? capacity : 1),
        wakeBatch_(wakeBatch < 1 ? 1 : (wakeBatch > capacity_ ? capacity_ : wakeBatch)) {}

  // False when the queue was aborted or closed; the item is dropped then.
  bool push(T item) {
    std::unique_lock lock(mutex_);
    WaitFor(notFull_, lock, [&] { return aborted_ || closed_ || items_.size() < capacity_; });
    if (aborted_ || closed_) return false;
    items_.push_back(std::move(item));
    if (items_.size() >= wakeBatch_) notEmpty_.notify_one();
    return true;
  }

  // The next item; nothing once the queue is closed and drained, or aborted.
  std::optional<T> pop() {
    std::unique_lock lock(mutex_);
    WaitFor(notEmpty_, lock, [&] { return aborted_ || closed_ || !items_.empty(); });
    if (aborted_ || items_.empty()) return std::nullopt;
    return TakeFront();
  }

  // Without waiting: the next item if one is there. ended tells whether
  // nothing more will ever come.
  std::optional<T> TryPop(bool& ended) {
    std::lock_guard lock(mutex_);
    ended = aborted_ || (closed_ && items_.empty());
    if (aborted_ || items_.empty()) return std::nullopt;
    return TakeFront();
  }

  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

  // Closes and drops what is still queued.
  void CloseAndClear() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    items_.clear();
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

  void abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    items_.clear();
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
  }
  std::size_t capacity() const { return capacity_; }

 private:
  static constexpr std::chrono::milliseconds kLookAgain{2};

  template <typename Ready>
  void WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Ready ready) {
    if (wakeBatch_ == 1) {
      cv.wait(lock, ready);
      return;
    }
    while (!ready()) cv.wait_for(lock, kLookAgain);
  }

  T TakeFront() {
    T item = std::move(items_.front());
    items_.pop_front();
    if (capacity_ - items_.size() >= wakeBatch_) notFull_.notify_one();
    return item;
  }

  mutable std::mutex mutex_;
  std::condition_variable notEmpty_, notFull_;
  std::deque<T> items_;
  const std::size_t capacity_;
  const std::size_t wakeBatch_;
  bool closed_ = false;
  bool aborted_ = false;
};

}  // namespace orv::engine
