// The engine on damaged and unusual media (made by make_bad_media.sh): for
// every file, identification ends within 5 s, and an encode with each of the
// four profiles' command lines ends within a bound proportional to the
// file's real content, either with status 0 and a file a player opens, or
// with a failure status and a one-line reason on stderr and no output. Never
// a signal, a hang or a temporary file left behind.
#include <iomanip>
#include <iostream>

#include "core/convert/encode_command.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_item.h"
#include "tests/e2e/engine_harness.h"

namespace {

using namespace orv_engine_test;

#ifdef ORV_SANITIZED_BUILD
constexpr int kSlowdown = 4;  // an instrumented engine runs several times slower
// Profile 1 has profile 0's codecs at a larger size: the instrumented run
// leaves it out to keep its time down.
constexpr int kProfiles[] = {0, 2, 3};
#else
constexpr int kSlowdown = 1;
constexpr int kProfiles[] = {0, 1, 2, 3};
#endif

enum class Outcome { Ok, CleanFailure, UncleanFailure, Timeout, Crash };

const char* Name(Outcome o) {
  switch (o) {
    case Outcome::Ok: return "ok";
    case Outcome::CleanFailure: return "clean failure";
    case Outcome::UncleanFailure: return "UNCLEAN";
    case Outcome::Timeout: return "TIMEOUT";
    case Outcome::Crash: return "CRASH";
  }
  return "?";
}

struct EngineRun {
  int status = 0;  // exit status, 128 + signal, -1 after a timeout
  std::string messages;
  double seconds = 0;
};

// The engine with args, ended (and reported) when it outlives limit.
EngineRun RunEngine(const std::vector<std::string>& args, const fs::path& folder,
              std::chrono::milliseconds limit) {
  const auto begin = std::chrono::steady_clock::now();
  Engine e = start(args, folder);
  EngineRun r;
  int status = 0;
  while (waitpid(e.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() - begin > limit) {
      kill(e.pid, SIGKILL);
      waitpid(e.pid, &status, 0);
      r.status = -1;
      break;
    }
    std::this_thread::sleep_for(5ms);
  }
  if (r.status != -1) r.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  r.messages = e.stderrText();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) lines.push_back(l);
  return lines;
}

// A failure explains itself in exactly one line that is not a warning.
bool OneLineReason(const std::string& messages) {
  int reasons = 0;
  for (const auto& l : Lines(messages)) {
    if (l.rfind("orvantic-engine: warning:", 0) == 0) continue;
    if (l.rfind("orvantic-engine: ", 0) != 0) return false;
    ++reasons;
  }
  return reasons == 1;
}

bool Playable(const fs::path& file) {
  auto p = probe(file);
  return !str(p, "streams.stream.0.codec_type").empty() && num(p, "format.duration") > 0;
}

Outcome Classify(const EngineRun& r, bool outputPlayable, bool outputExists) {
  if (r.status == -1) return Outcome::Timeout;
  if (r.status >= 128) return Outcome::Crash;
  if (r.status == 0) return outputPlayable ? Outcome::Ok : Outcome::UncleanFailure;
  return OneLineReason(r.messages) && !outputExists ? Outcome::CleanFailure
                                                    : Outcome::UncleanFailure;
}

class BadMediaTest : public EngineTest {};

TEST_F(BadMediaTest, EveryFileEndsCleanlyInIdentifyAndEveryProfile) {
  std::ifstream manifest(g_media / "MANIFEST");
  std::vector<std::pair<std::string, double>> files;
  std::string name;
  double content = 0;
  while (manifest >> name >> content) files.emplace_back(name, content);
  ASSERT_GE(files.size(), 30u);

  orv::Installation installation;
  installation.programFolder = dir_.string() + "/";
  installation.engineFolder = fs::path(ORV_ENGINE_PATH).parent_path().string();
  std::map<std::string, int> tally;
  std::ostringstream table;
  for (const auto& [file, seconds] : files) {
    SCOPED_TRACE(file);
    const std::string source = media(file.c_str());
    writeCommand(dir_, orv::EngineCommand::Stop);
    fs::remove(dir_ / orv::kMediaInfoFile);
    EngineRun id = RunEngine(splitCommand(" \"" + source + "\" -vo null -nosound -identify" + folderArg()),
                       dir_, std::chrono::milliseconds(5000 * kSlowdown));
    orv::MediaInfo info;
    const bool answered = id.status == 0 && fs::exists(dir_ / orv::kMediaInfoFile);
    if (answered) info = readInfo(dir_);
    Outcome idOutcome = id.status == -1   ? Outcome::Timeout
                        : id.status >= 128 ? Outcome::Crash
                        : id.status == 0   ? Outcome::Ok
                        : OneLineReason(id.messages) ? Outcome::CleanFailure
                                                     : Outcome::UncleanFailure;
    EXPECT_TRUE(idOutcome == Outcome::Ok || idOutcome == Outcome::CleanFailure)
        << "identify: " << Name(idOutcome) << " after " << id.seconds << " s\n" << id.messages;
    ++tally[std::string("identify ") + Name(idOutcome)];
    table << std::left << std::setw(34) << file << std::setw(15) << Name(idOutcome)
          << std::setw(10) << (answered ? std::to_string(info.durationSeconds).substr(0, 8) : "-");

    for (int profile : kProfiles) {
      SCOPED_TRACE("profile " + std::to_string(profile));
      orv::SourceItem item;
      orv::ApplyNewItemDefaults(profile, item);
      item.sourcePath = source;
      item.duration = info.durationSeconds;
      item.videoWidth = info.videoWidth;
      item.videoHeight = info.videoHeight;
      const fs::path out = dir_ / ("out." + orv::ProfileExtension(profile));
      fs::remove(out);
      std::vector<std::string> args = splitCommand(orv::BuildEncodeCommand(item, *orv::ParseItemValues(item), installation) +
                                                   orv::PieceTail("", out.string(), folderArg()));
      args.erase(args.begin());  // the GUI's engine path; ours is started
      const auto limit = std::chrono::milliseconds(
          static_cast<long>((10000 + 5000 * seconds) * kSlowdown));
      EngineRun enc = RunEngine(args, dir_, limit);
      const bool exists = fs::exists(out);
      Outcome o = Classify(enc, exists && Playable(out), exists);
      EXPECT_TRUE(o == Outcome::Ok || o == Outcome::CleanFailure)
          << Name(o) << ", status " << enc.status << " after " << enc.seconds << " s\n"
          << enc.messages;
      EXPECT_TRUE(noTempFiles());
      ++tally[std::string("encode ") + Name(o)];
      table << std::setw(15) << Name(o);
    }
    table << "\n";
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().find(".part-") != std::string::npos) fs::remove(e.path());
  }
  std::cout << "\n" << files.size() << " files; identify, then encode with each profile:\n"
            << table.str() << "\n";
  for (const auto& [what, count] : tally) std::cout << "  " << what << ": " << count << "\n";
}

}  // namespace
