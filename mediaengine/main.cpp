// orvantic-engine: identify and encode media for the Orvantic GUI.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "mediaengine/av_support.h"
#include "mediaengine/encoder.h"
#include "mediaengine/identify.h"
#include "mediaengine/options.h"
#include "mediaengine/output_file.h"
#include "mediaengine/status_files.h"

namespace {

int failWith(const std::string& message, int status = 1) {
  std::fprintf(stderr, "orvantic-engine: %s\n", message.c_str());
  return status;
}

int identify(const orv::engine::Options& options) {
  using namespace orv::engine;
  orv::MediaInfo info = emptyMediaInfo();
  std::string error;
  try {
    if (options.dvdTitle >= 0) throw EngineError("DVD sources are not supported yet");
    info = identifyFile(options.source);
  } catch (const EngineError& e) {
    error = e.what();
    info = emptyMediaInfo();
  }
  try {
    // The GUI waits for this record in every case, so write it even for a
    // file we could not read.
    writeMediaInfo(options.folder, info);
  } catch (const EngineError& e) {
    return failWith(e.what());
  }
  return error.empty() ? 0 : failWith(error);
}

int encode(const orv::engine::Options& options) {
  using namespace orv::engine;
  OutputPlan plan;
  std::string error = planOutput(options, plan);
  if (!error.empty()) return failWith(error, 2);
  if (options.dvdTitle >= 0) return failWith("DVD sources are not supported yet");
  try {
    runEncode(options, plan);
  } catch (const EngineError& e) {
    return failWith(e.what());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv::engine;
  // The GUI reads our status files, not our console; library chatter is
  // only wanted when debugging.
  av_log_set_level(std::getenv("ORVANTIC_ENGINE_DEBUG") ? AV_LOG_INFO : AV_LOG_QUIET);
  installCleanupHandlers();

  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult parsed = parseCommandLine(args);
  if (!parsed.ok()) return failWith(parsed.error, 2);
  const Options& options = parsed.options;
  if (!options.hasSource) return failWith("no source given", 2);

  if (options.identify) return identify(options);
  if (!options.output.empty()) return encode(options);
  return failWith("play mode is not available in this version", 2);
}
