#include "core/link/engine_stop.h"

#include <signal.h>

#include <algorithm>
#include <set>
#include <thread>

#include "platform/process_list.h"

namespace orv {

EngineStopOutcome StopEngines(const EngineLink& link, std::chrono::milliseconds patience,
                              std::chrono::milliseconds giveUp,
                              const std::function<int()>& extraPid) {
  return StopEngines(std::vector<const EngineLink*>{&link}, patience, giveUp, extraPid);
}

EngineStopOutcome StopEngines(const std::vector<const EngineLink*>& links,
                              std::chrono::milliseconds patience, std::chrono::milliseconds giveUp,
                              const std::function<int()>& extraPid) {
  using Clock = std::chrono::steady_clock;
  if (links.empty()) return {};
  const std::string engine = links.front()->installation().EngineLocation();
  const auto start = Clock::now();
  EngineStopOutcome outcome;
  std::set<int> ended;
  auto end = [&](int pid) {
    if (pid <= 0 || ended.count(pid)) return;
    ::kill(-pid, SIGKILL);  // the engine runs in a process group of its own
    ended.insert(pid);
    outcome.killed = true;
  };
  // Links that are all lanes share the machine with engines not theirs:
  // only their own engines are waited for.
  const bool lanesOnly =
      std::all_of(links.begin(), links.end(), [](const EngineLink* l) { return l->lane; });
  auto running = [&] {
    if (!lanesOnly) return IsEngineRunning(engine);
    return std::any_of(links.begin(), links.end(), [](const EngineLink* l) {
      const int pid = l->TrackedPid();
      return pid > 0 && ::kill(pid, 0) == 0;
    });
  };
  while (running()) {
    const auto waited = Clock::now() - start;
    if (waited > giveUp) {
      outcome.gaveUp = true;
      break;
    }
    for (const EngineLink* link : links) link->WriteControl(EngineCommand::Stop);
    if (waited > patience) {
      for (const EngineLink* link : links) end(link->TrackedPid());
      if (extraPid) end(extraPid());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return outcome;
}

}  // namespace orv
