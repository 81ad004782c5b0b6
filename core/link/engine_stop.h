// Ending an engine run on the user's Stop: asked first through the control
// file, ended by force when it does not listen, and never waited for without
// end.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "core/link/engine_link.h"

namespace orv {

inline constexpr const char* kEngineNotEnded =
    "An engine process did not end and could not be ended; it is left running.";

struct EngineStopOutcome {
  bool killed = false;  // an engine was ended by force
  bool gaveUp = false;  // an engine was still running at the last deadline
};

// Writes Stop into the control file until no engine runs. After `patience`
// the engine the link tracks (whichever it is by then: an encode, an
// identification between pieces, the player) is ended with its process
// group; after `giveUp` the wait ends, whatever still runs.
EngineStopOutcome StopEngines(const EngineLink& link, std::chrono::milliseconds patience,
                              std::chrono::milliseconds giveUp,
                              const std::function<int()>& extraPid = {});
// The same for a run of several engines, each with its own link.
EngineStopOutcome StopEngines(const std::vector<const EngineLink*>& links,
                              std::chrono::milliseconds patience, std::chrono::milliseconds giveUp,
                              const std::function<int()>& extraPid = {});

}  // namespace orv
