// orvantic-engine: identify and encode media for the Orvantic GUI.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/av_support.h"
#include "engine/control/status_files.h"
#include "engine/encode/encoder.h"
#include "engine/encode/output_file.h"
#include "engine/identify.h"
#include "engine/options.h"
#include "engine/play/player.h"

namespace {

int FailWith(const std::string& message, int status = 1) {
  std::fprintf(stderr, "orvantic-engine: %s\n", message.c_str());
  return status;
}

int identify(const orv::engine::Options& options) {
  using namespace orv::engine;
  orv::MediaInfo info = EmptyMediaInfo();
  std::string error;
  try {
    info = options.dvdTitle >= 0 ? IdentifyDvd(options) : IdentifyFile(options.source);
  } catch (const EngineError& e) {
    error = e.what();
    info = EmptyMediaInfo();
  }
  try {
    // The GUI waits for this record in every case, so write it even for a
    // file we could not read.
    WriteMediaInfo(options.folder, info);
  } catch (const EngineError& e) {
    return FailWith(e.what());
  }
  return error.empty() ? 0 : FailWith(error);
}

// The output written over a source would destroy it while it is read: the
// same file under any name (a link, "./", "..") is refused.
std::string OutputIsInput(const orv::engine::Options& options) {
  struct stat out {};
  if (::stat(options.output.c_str(), &out) != 0) return {};
  for (const std::string& input : {options.source, options.dvdDevice}) {
    struct stat in {};
    if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
      return "the output '" + options.output + "' is the source '" + input +
             "'; it would be destroyed";
  }
  return {};
}

int encode(const orv::engine::Options& options) {
  using namespace orv::engine;
  if (std::string refusal = OutputIsInput(options); !refusal.empty()) return FailWith(refusal, 2);
  OutputPlan plan;
  std::string error = PlanOutput(options, plan);
  if (!error.empty()) return FailWith(error, 2);
  try {
    RunEncode(options, plan);
  } catch (const EngineError& e) {
    return FailWith(e.what());
  }
  return 0;
}

int play(const orv::engine::Options& options) {
  using namespace orv::engine;
  // Without a session bus, SDL's D-Bus use would autolaunch one (dbus-launch
  // and a bus daemon) that outlives us: there is no bus to use, so say so.
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  try {
    RunPlay(options);
  } catch (const EngineError& e) {
    return FailWith(e.what());
  }
  return 0;
}

}  // namespace

namespace {

// An engine whose program has gone (a window that crashed or was killed)
// must not go on converting or playing for nobody: it ends with it, removing
// its temporary output as on any SIGTERM.
void EndWithParent() {
  const pid_t parent = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::raise(SIGTERM);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv::engine;
  // The GUI reads our status files, not our console; library chatter is
  // only wanted when debugging.
  av_log_set_level(std::getenv("ORVANTIC_ENGINE_DEBUG") ? AV_LOG_INFO : AV_LOG_QUIET);
  // SVT-AV1 prints its set-up on stderr, which the run keeps as the reason
  // of a failure: errors only.
  if (!std::getenv("ORVANTIC_ENGINE_DEBUG")) ::setenv("SVT_LOG", "2", 0);
  InstallCleanupHandlers();
  EndWithParent();

  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult parsed = ParseCommandLine(args);
  if (!parsed.ok()) return FailWith(parsed.error, 2);
  const Options& options = parsed.options;
  if (!options.hasSource) return FailWith("no source given", 2);

  if (options.identify) return identify(options);
  if (!options.output.empty()) return encode(options);
  if (options.wid >= 0) return play(options);
  return FailWith("nothing to do: give -identify, -o FILE or -wid WINDOW", 2);
}
