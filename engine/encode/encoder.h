// Encode mode: source -> filters -> encoders -> output file.
#pragma once

#include "engine/options.h"

namespace orv::engine {

enum class EncodeOutcome { Completed, Stopped, SizeLimit };

// Runs the whole encode; throws EngineError on failure (the output file is
// then left as it was before the run).
EncodeOutcome RunEncode(const Options& options, const OutputPlan& plan);

}  // namespace orv::engine
