#include "engine/engine_stop.h"

#include <signal.h>

#include <set>
#include <thread>

#include "platform/process_list.h"

namespace orv {

EngineStopOutcome StopEngines(const EngineLink& link, std::chrono::milliseconds patience,
                              std::chrono::milliseconds giveUp,
                              const std::function<int()>& extraPid) {
  using Clock = std::chrono::steady_clock;
  const std::string engine = link.installation().EngineLocation();
  const auto start = Clock::now();
  EngineStopOutcome outcome;
  std::set<int> ended;
  auto end = [&](int pid) {
    if (pid <= 0 || ended.count(pid)) return;
    ::kill(-pid, SIGKILL);  // the engine runs in a process group of its own
    ended.insert(pid);
    outcome.killed = true;
  };
  while (IsEngineRunning(engine)) {
    const auto waited = Clock::now() - start;
    if (waited > giveUp) {
      outcome.gaveUp = true;
      break;
    }
    link.WriteControl(EngineCommand::Stop);
    if (waited > patience) {
      end(link.TrackedPid());
      if (extraPid) end(extraPid());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return outcome;
}

}  // namespace orv
