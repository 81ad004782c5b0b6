#include "engine/control/run_control.h"

#include <chrono>

namespace orv::engine {
namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr auto kPositionInterval = std::chrono::milliseconds(100);
}  // namespace

RunControl::RunControl(const std::string& folder) : poller_(folder), writer_(folder) {}

RunControl::~RunControl() { finish(); }

void RunControl::start(std::function<void()> onStop) {
  onStop_ = std::move(onStop);
  thread_ = std::thread([this] { poll(); });
}

void RunControl::finish() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    released_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool RunControl::WaitWhilePaused() {
  if (stop_) return false;
  if (!paused_) return true;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !paused_ || stop_ || released_; });
  return !stop_ && !released_;
}

void RunControl::release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

void RunControl::WritePosition(double seconds) {
  position_.store(seconds);
  writer_.write(seconds);
}

void RunControl::poll() {
  auto lastWrite = std::chrono::steady_clock::now();
  double written = -1;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (changed_.wait_for(lock, kPollInterval, [&] { return ending_; })) return;
    }
    const EngineCommand command = poller_.poll();
    if (command == EngineCommand::Stop && !stop_) {
      {
        std::lock_guard lock(mutex_);
        stop_ = true;
        paused_ = false;
      }
      changed_.notify_all();
      if (onStop_) onStop_();
    } else if (!stop_) {
      const bool pause = command == EngineCommand::Pause;
      if (pause != paused_) {
        {
          std::lock_guard lock(mutex_);
          paused_ = pause;
        }
        changed_.notify_all();
      }
    }
    auto now = std::chrono::steady_clock::now();
    const double position = position_.load();
    if (now - lastWrite >= kPositionInterval && position != written) {
      writer_.write(position);
      written = position;
      lastWrite = now;
    }
  }
}

}  // namespace orv::engine
