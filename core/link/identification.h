// Identification of a source through the engine, and the engine activity.
#pragma once

#include <cstdint>
#include <string>

#include "core/link/engine_link.h"

namespace orv {

enum class Identified { Yes, NoAnswer, EngineBusy };

// Prepares the folder, removes any earlier answer, writes Stop, runs the
// engine in identify mode and waits for it, then reads the answer. Yes when
// a whole answer with a duration other than 0 came back; EngineBusy when
// another engine runs (the caller says so).
Identified Identify(EngineLink& link, const std::string& source, bool unquoted);
inline bool IdentifyAndWait(EngineLink& link, const std::string& source, bool unquoted) {
  return Identify(link, source, unquoted) == Identified::Yes;
}

// Entries before the first negative one, at most kMaxStreams.
int CountStreamList(const int32_t (&ids)[kMaxStreams]);

enum class EngineActivity { Idle, Converting, Playing };

// Converting while an engine runs and the batch run has cleared monitorIdle;
// Playing while an engine runs otherwise; Idle when none runs.
constexpr EngineActivity ComputeActivity(bool engineRunning, int monitorIdle) {
  if (!engineRunning) return EngineActivity::Idle;
  return monitorIdle == 0 ? EngineActivity::Converting : EngineActivity::Playing;
}

}  // namespace orv
