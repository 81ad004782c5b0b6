// A queue between two pipeline stages: a producer waits while it is full, so
// a fast stage cannot run away with memory; a consumer waits while it is
// empty. close() lets the consumer drain what is left; abort() wakes both
// sides at once and drops everything (stop, errors).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace orv::engine {

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

  // False when the queue was aborted or closed; the item is dropped then.
  bool push(T item) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [&] { return aborted_ || closed_ || items_.size() < capacity_; });
    if (aborted_ || closed_) return false;
    items_.push_back(std::move(item));
    notEmpty_.notify_one();
    return true;
  }

  // The next item; nothing once the queue is closed and drained, or aborted.
  std::optional<T> pop() {
    std::unique_lock lock(mutex_);
    notEmpty_.wait(lock, [&] { return aborted_ || closed_ || !items_.empty(); });
    if (aborted_ || items_.empty()) return std::nullopt;
    T item = std::move(items_.front());
    items_.pop_front();
    notFull_.notify_one();
    return item;
  }

  // Without waiting: the next item if one is there. ended tells whether
  // nothing more will ever come.
  std::optional<T> TryPop(bool& ended) {
    std::lock_guard lock(mutex_);
    ended = aborted_ || (closed_ && items_.empty());
    if (aborted_ || items_.empty()) return std::nullopt;
    T item = std::move(items_.front());
    items_.pop_front();
    notFull_.notify_one();
    return item;
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
  mutable std::mutex mutex_;
  std::condition_variable notEmpty_, notFull_;
  std::deque<T> items_;
  const std::size_t capacity_;
  bool closed_ = false;
  bool aborted_ = false;
};

}  // namespace orv::engine
