// Identifies a list of files with several engines at once, each in a working
// folder of its own, for a console run that converts several items at once.
#pragma once

#include <string>
#include <vector>

#include "core/link/engine_link.h"
#include "core/settings/source_list.h"

namespace orv {

// The answers of paths, in their order. One engine: through link, one file
// after another (exactly IdentifyFile). Several: up to `engines` at once,
// each through a lane of link (link.folder + "job-K/"); when an engine of
// this installation is already running, every answer is EngineBusy, as one
// engine's would be — unless link is itself a lane (a share of a list run
// beside the other shares).
std::vector<FileAnswer> IdentifyFiles(EngineLink& link, const std::vector<std::string>& paths,
                                      int engines);

}  // namespace orv
