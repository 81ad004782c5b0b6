// Play mode: the source decoded on the pipeline's threads and presented in
// the GUI's video panel (-wid) with its sound, the picture following the
// audio clock. Pause, resume and stop come from vctrl.dat; the position goes
// to vprog.dat. Ends by itself at the end of the -ss/-endpos window.
#pragma once

#include "engine/options.h"

namespace orv::engine {

enum class PlayOutcome { Finished, Stopped, WindowGone };

// Throws EngineError when the source, the window or the display cannot be
// used.
PlayOutcome RunPlay(const Options& options);

}  // namespace orv::engine
