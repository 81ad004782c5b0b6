// The GUI's hold on a running encode or playback: a thread that polls
// vctrl.dat every 20 ms (1 pauses, 0 resumes, 2 stops) and writes the
// position into vprog.dat about every 100 ms. Stages ask it whether to wait
// or to end; a stop request reaches them through one callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/control/status_files.h"

namespace orv::engine {

class RunControl {
 public:
  explicit RunControl(const std::string& folder);
  ~RunControl();
  RunControl(const RunControl&) = delete;
  RunControl& operator=(const RunControl&) = delete;

  // onStop runs once, on the polling thread, when command 2 arrives.
  void start(std::function<void()> onStop);
  // Ends the polling thread and writes the last position.
  void finish();

  bool StopRequested() const { return stop_.load(); }
  bool paused() const { return paused_.load(); }
  // Blocks while paused; false once a stop was requested or the run ended.
  bool WaitWhilePaused();
  // Ends every wait (errors, the end of the run).
  void release();

  void SetPosition(double seconds) { position_.store(seconds); }
  double position() const { return position_.load(); }
  // Writes the position at once (start and end of a run).
  void WritePosition(double seconds);

 private:
  void poll();

  ControlPoller poller_;
  PositionWriter writer_;
  std::thread thread_;
  std::function<void()> onStop_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<double> position_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool ending_ = false;
};

}  // namespace orv::engine
