#include "core/convert/batch_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "core/settings/app_settings.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_list.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadLines;
using test::WriteText;

class RecordingHost : public BatchHost {
 public:
  explicit RecordingHost(test::ScriptedShell& shell) : shell_(shell) {}
  void SelectRow(int index) override { Log("select " + std::to_string(index)); }
  void StartProgressTimer() override { Log("timer on"); }
  void StopProgressTimer() override { Log("timer off"); }
  void SetProgress(int item, int list) override {
    Log("progress " + std::to_string(item) + " " + std::to_string(list));
  }
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    Log("ask " + caption);
    return shell_.AskOkCancel(text, caption);
  }
  void Tell(const std::string& text) override { Log("tell " + text); }
  bool ShutDownWhenFinished() override { return shutDown; }
  bool ConfirmPowerOff(const std::string& text) override {
    return shell_.CountDownToPowerOff(text, kPowerOffCountdownSeconds);
  }
  void PowerOff() override { shell_.PowerOff(); }
  void RunStarted() override {
    if (logRunEdges) Log("run started");
  }
  void RunEnded(const std::string& notice) override {
    if (logRunEdges) Log("run ended " + notice);
  }

  void Log(const std::string& e) {
    std::lock_guard lock(mutex_);
    events_.push_back(e);
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  bool shutDown = false;
  bool logRunEdges = false;

 private:
  test::ScriptedShell& shell_;
  std::mutex mutex_;
  std::vector<std::string> events_;
};

struct BatchFixture : ::testing::Test {
  test::TempDir dir, out;
  test::ScriptedShell shell;
  Installation inst = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  EngineLink link{inst, shell};
  RecordingHost host{shell};
  ItemList items;

  void SetUp() override {
    link.PrepareFolder(dir.path());
    link.onLaunch = [this](const std::string& line) { host.Log("+ " + line); };
    WriteText(dir / "fake.cfg", "write_output=1\n");
  }
  SourceItem& Add(const std::string& name, double duration = 100) {
    auto item = std::make_unique<SourceItem>();
    ApplyNewItemDefaults(0, *item);
    item->sourcePath = "/in/" + name + ".avi";
    item->outputPath = out / (name + ".mp4");
    item->duration = item->clipEndSeconds = duration;
    items.push_back(std::move(item));
    return *items.back();
  }
  std::vector<std::string> Outputs() {
    std::vector<std::string> outputs;
    for (const auto& line : ReadLines(dir / "fake_log.txt")) {
      auto pos = line.find("|-o|");
      if (pos == std::string::npos) continue;
      auto end = line.find('|', pos + 4);
      outputs.push_back(line.substr(pos + 4, end - pos - 4));
    }
    return outputs;
  }
  void RunToEnd(int policy) {
    BatchRun run(items, link, host);
    ASSERT_TRUE(run.Convert(policy));
    run.Join();
    lastFailures = run.failures();
  }
  std::vector<ItemFailure> lastFailures;
};

TEST_F(BatchFixture, EmptyListEndsAtOnceWithComplete) {
  RunToEnd(1);
  EXPECT_EQ(host.Events(), (std::vector<std::string>{"timer on", "timer off", "progress 100 100",
                                                     "tell Complete!"}));
}

TEST_F(BatchFixture, ConvertsEveryItemInOrderWithItsCommandLine) {
  Add("a");
  Add("b");
  RunToEnd(1);
  EXPECT_EQ(Outputs(), (std::vector<std::string>{out / "a.mp4", out / "b.mp4"}));
  auto events = host.Events();
  EXPECT_EQ(events[1], "select 0");
  EXPECT_EQ(events[2].rfind("+ " + QuoteArg(inst.EngineLocation()) + " \"/in/a.avi\" ", 0), 0u);
  EXPECT_NE(events[2].find(" -o " + QuoteArg(out / "a.mp4") + " -currentfolder " +
                           QuoteArg(dir.path()) + " "),
            std::string::npos);
  EXPECT_EQ(events.back(), "tell Complete!");
  EXPECT_EQ(test::ReadText(dir / "vctrl.dat")[0], 0);  // Run before each start
}

TEST_F(BatchFixture, OverwritePolicies) {
  Add("a");
  Add("b");
  WriteText(out / "a.mp4", "old");
  WriteText(out / "b.mp4", "old");

  shell.answers = {false, true};  // a: Cancel, b: OK
  RunToEnd(kAskBeforeOverwrite);
  EXPECT_EQ(shell.questions,
            (std::vector<std::string>{"File \"" + out / "a.mp4" + "\" already exists.Overwrite?",
                                      "File \"" + out / "b.mp4" + "\" already exists.Overwrite?"}));
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "b.mp4"});
  EXPECT_EQ(host.Events()[1], "ask Warning");

  std::remove((dir / "fake_log.txt").c_str());
  RunToEnd(kSkipExisting);
  EXPECT_TRUE(Outputs().empty());
  EXPECT_EQ(host.Events().back(), "tell Complete!");

  RunToEnd(17);  // unknown values overwrite
  EXPECT_EQ(Outputs().size(), 2u);
}

TEST_F(BatchFixture, FailedItemsAreNamedAtTheEndAndTheRunGoesOn) {
  Add("a");
  Add("b");
  WriteText(dir / "fake.cfg", "exit=1\n");
  RunToEnd(1);
  ASSERT_EQ(lastFailures.size(), 2u);
  EXPECT_EQ(lastFailures[1].itemNumber, 2);
  EXPECT_EQ(host.Events().back(),
            "tell Complete!\n\n2 items were not converted:\n1: /in/a.avi - the engine failed (exit "
            "status 1)\n2: /in/b.avi - the engine failed (exit status 1)");

  WriteText(dir / "fake.cfg", "exit=0\n");  // succeeds but writes nothing
  RunToEnd(1);
  ASSERT_EQ(lastFailures.size(), 2u);
  EXPECT_EQ(lastFailures[0].reason, "the engine wrote no file " + out / "a.mp4");

  std::filesystem::remove(inst.EngineLocation());
  RunToEnd(1);
  ASSERT_EQ(lastFailures.size(), 2u);
  EXPECT_EQ(lastFailures[0].reason, "the engine could not be started");
}

TEST_F(BatchFixture, SplitRunsMeasureTheFirstPieceThenCutTheRest) {
  Add("film", 1500).splitMode = "00:10:00";
  WriteText(dir / "fake.cfg", "write_output=1\nduration=600\n");
  RunToEnd(1);
  EXPECT_EQ(Outputs(), (std::vector<std::string>{out / "film_clip_1.mp4", out / "film_clip_2.mp4",
                                                 out / "film_clip_3.mp4"}));
  auto log = ReadLines(dir / "fake_log.txt");
  ASSERT_EQ(log.size(), 4u);  // three pieces and one identification
  EXPECT_EQ(log[1].rfind(out / "film_clip_1.mp4|-vo|null|-nosound|-identify", 0), 0u);
  EXPECT_NE(log[3].find("|-ss|1200.000000|-endpos|00:10:00|-o|"), std::string::npos);

  // The first piece cannot be measured: the item keeps its first piece only,
  // and says so rather than counting as converted.
  std::remove((dir / "fake_log.txt").c_str());
  WriteText(dir / "fake.cfg", "write_output=1\n");
  RunToEnd(1);
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "film_clip_1.mp4"});
  ASSERT_EQ(lastFailures.size(), 1u);
  EXPECT_EQ(lastFailures[0].reason, "only the first piece was written");
}

TEST_F(BatchFixture, TwoItemsWithOneOutputConvertOnlyTheFirst) {
  Add("a");
  Add("b").outputPath = out / "a.mp4";  // after a rename, say
  Add("c");
  RunToEnd(1);
  ASSERT_EQ(lastFailures.size(), 1u);
  EXPECT_EQ(lastFailures[0].itemNumber, 2);
  EXPECT_EQ(lastFailures[0].reason, "item 1 writes the same output file " + out / "a.mp4");
  EXPECT_EQ(ReadLines(dir / "fake_log.txt").size(), 2u);  // a and c only
}

TEST_F(BatchFixture, StaleTemporaryFilesOfGoneEnginesAreRemoved) {
  Add("a");
  WriteText(out / ".old.mp4.part-999999999", "left by a killed engine");
  const std::string mine = out / (".live.mp4.part-" + std::to_string(::getpid()));
  WriteText(mine, "an engine that still runs");
  WriteText(out / "notes.part-1", "not ours");
  RunToEnd(1);
  EXPECT_FALSE(FileExists(out / ".old.mp4.part-999999999"));
  EXPECT_TRUE(FileExists(mine));
  EXPECT_TRUE(FileExists(out / "notes.part-1"));
}

TEST_F(BatchFixture, EngineWarningsAreListedAtTheEnd) {
  Add("a");
  WriteText(dir / "fake.cfg", "write_output=1\nwarn=12 damaged packets of '/in/a.avi' were skipped\n");
  RunToEnd(1);
  EXPECT_TRUE(lastFailures.empty());
  const std::vector<std::string> events = host.Events();
  EXPECT_EQ(events.back(),
            "tell Complete!\n\nConverted with warnings:\n1: /in/a.avi - converted, 12 damaged "
            "packets dropped");
  EXPECT_EQ(EngineWarnings("orvantic-engine: warning: x\nother\norvantic-engine: no\n"),
            std::vector<std::string>{"x"});
}

TEST_F(BatchFixture, ShutDownRequestReplacesTheMessage) {
  Add("a");
  host.shutDown = true;
  RunToEnd(1);
  EXPECT_EQ(shell.powerOffRequests, 1);
  for (const auto& e : host.Events()) EXPECT_EQ(e.rfind("tell", 0), std::string::npos);
}

TEST_F(BatchFixture, RefusesWhileAnEngineRuns) {
  Add("a");
  WriteText(dir / "fake.cfg", "run_ms=60000\n");
  LaunchEngine(QuoteArg(inst.EngineLocation()) + " -currentfolder " + QuoteArg(dir.path()), false);
  while (!IsEngineRunning(inst.EngineLocation())) std::this_thread::yield();
  RunToEnd(1);
  EXPECT_EQ(host.Events(), std::vector<std::string>{"tell " + std::string(kEngineBusyMessage)});
  link.WriteControl(EngineCommand::Stop);
}

TEST_F(BatchFixture, StopEndsTheRunningPieceAndStartsNoMore) {
  Add("film", 1500).splitMode = "00:10:00";
  Add("next");
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=60000\nstep=1\nduration=600\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  EXPECT_FALSE(run.Convert(1));  // one run at a time
  while (run.Activity() != EngineActivity::Converting) std::this_thread::yield();
  run.Stop();
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  run.Join();
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "film_clip_1.mp4"});
  // The cut piece is kept under a name of its own, never as a finished piece.
  EXPECT_FALSE(FileExists(out / "film_clip_1.mp4"));
  EXPECT_TRUE(FileExists(out / "film_clip_1.partial.mp4"));
  const std::string told = host.Events().back();
  EXPECT_EQ(told.rfind("tell " + std::string(kStoppedMessage), 0), 0u) << told;
  EXPECT_NE(told.find("Item 1 (/in/film.avi) was stopped"), std::string::npos) << told;
  EXPECT_NE(told.find(out / "film_clip_1.partial.mp4"), std::string::npos) << told;
  EXPECT_NE(told.find("1 item after it was not started."), std::string::npos) << told;
  EXPECT_TRUE(run.WasStopped());
  EXPECT_EQ(run.convertedCount(), 0);
  EXPECT_EQ(run.monitorIdle, 1);
  EXPECT_EQ(run.currentItemNumber, 0);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST_F(BatchFixture, AnEngineThatIgnoresStopIsEndedAfterAWhile) {
  Add("film");
  Add("next");
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=60000\nignore_stop=1\nwrite_temp=1\n");
  WriteText(out / "film.mp4", "an earlier finished output");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  while (run.Activity() != EngineActivity::Converting) std::this_thread::yield();
  const auto asked = std::chrono::steady_clock::now();
  run.Stop();
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  EXPECT_GE(waited, kEngineStopPatience);
  EXPECT_LT(waited, kEngineStopPatience + std::chrono::seconds(2));
  EXPECT_EQ(shell.messages, std::vector<std::string>{kEngineKilled});
  run.Join();
  // The killed piece is the stopped item, with nothing to show; nothing after
  // it started.
  EXPECT_TRUE(run.failures().empty());
  EXPECT_NE(run.endText().find("Item 1 (/in/film.avi) was not converted."), std::string::npos)
      << run.endText();
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "film.mp4"});
  // Its temporary file went with it; the file under the name was not its
  // work and is left as it was, not taken for a partial output.
  EXPECT_EQ(test::ReadText(out / "film.mp4"), "an earlier finished output");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1)
      << "a .part file was left";
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST_F(BatchFixture, EachPieceStartsWithoutTheLastPiecesPosition) {
  Add("a");
  Add("b");
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=300\nstep=40\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  EngineLink reader(inst, shell);
  reader.PrepareFolder(dir.path());
  // Sample the position while the second item starts: it must never show the
  // first item's end (240 s after six 50 ms steps) before its own first step.
  while (run.currentItemNumber != 2 && run.ThreadRunning()) std::this_thread::yield();
  const double first = reader.ReadPosition();
  run.Join();
  EXPECT_TRUE(first < 0 || first <= 40) << first;
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST_F(BatchFixture, AMissingOutputFolderIsCreatedAndAnUnusableOneRefusesTheRun) {
  Add("a").outputPath = out / "new/deeper/a.mp4";
  RunToEnd(1);
  EXPECT_TRUE(lastFailures.empty());
  EXPECT_TRUE(FileExists(out / "new/deeper/a.mp4"));

  items.clear();
  WriteText(out / "plain file", "");
  Add("b").outputPath = out / "plain file/sub/b.mp4";
  RunToEnd(1);
  const std::string told = host.Events().back();
  EXPECT_EQ(told.rfind("tell Cannot create the output folder \"" + out / "plain file/sub\": ", 0),
            0u)
      << told;
  EXPECT_EQ(Outputs().size(), 1u) << "no engine started for the refused run";
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The end of a run: a stopped run never powers off, a finished one counts
// down first, and what it stopped is never taken as done later.
TEST_F(BatchFixture, StopWithPowerOffTickedNeverPowersOff) {
  Add("a");
  Add("b");
  host.shutDown = true;
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=60000\nstep=1\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  while (run.Activity() != EngineActivity::Converting) std::this_thread::yield();
  run.Stop();
  run.Join();
  EXPECT_EQ(shell.powerOffRequests, 0);
  EXPECT_TRUE(shell.countdowns.empty());
  EXPECT_EQ(host.Events().back().rfind("tell " + std::string(kStoppedMessage), 0), 0u);

  // The next run under "skip existing" converts the stopped item again: its
  // partial output is not its output.
  std::remove((dir / "fake_log.txt").c_str());
  WriteText(dir / "fake.cfg", "write_output=1\n");
  host.shutDown = false;
  RunToEnd(kSkipExisting);
  EXPECT_EQ(Outputs(), (std::vector<std::string>{out / "a.mp4", out / "b.mp4"}));
  EXPECT_TRUE(FileExists(out / "a.partial.mp4"));
}

TEST_F(BatchFixture, PowerOffCountsDownWithTheEndTextAndCanBeCancelled) {
  Add("a");
  host.shutDown = true;
  shell.cancelCountdown = true;
  RunToEnd(1);
  ASSERT_EQ(shell.countdowns, std::vector<std::string>{"Complete!"});
  EXPECT_EQ(shell.countdownSeconds, 60);
  EXPECT_EQ(shell.powerOffRequests, 0);
  // Written before the countdown, so a power-off does not take it along.
  EXPECT_NE(test::ReadText(dir / kRunLogFile).find("Complete!"), std::string::npos);

  shell.cancelCountdown = false;
  RunToEnd(1);
  EXPECT_EQ(shell.powerOffRequests, 1);
}

TEST_F(BatchFixture, AStopBeforeTheNextItemNamesWhatWasNotConverted) {
  Add("a");
  Add("b");
  Add("c");
  WriteText(dir / "fake.cfg", "write_output=1\n");
  WriteText(out / "b.mp4", "old");
  // The overwrite question of item 2 is where the user presses Stop.
  BatchRun* running = nullptr;
  class StoppingHost : public RecordingHost {
   public:
    using RecordingHost::RecordingHost;
    BatchRun** run = nullptr;
    bool AskOkCancel(const std::string&, const std::string&) override {
      std::thread([r = *run] { r->Stop(); }).join();
      return true;
    }
  } stopping(shell);
  stopping.run = &running;
  BatchRun run(items, link, stopping);
  running = &run;
  ASSERT_TRUE(run.Convert(kAskBeforeOverwrite));
  run.Join();
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "a.mp4"});
  const std::string told = stopping.Events().back();
  EXPECT_NE(told.find("Item 2 (/in/b.avi) was not converted."), std::string::npos) << told;
  EXPECT_NE(told.find("1 item after it was not started."), std::string::npos) << told;
  EXPECT_EQ(test::ReadText(out / "b.mp4"), "old");
}

// Outputs and sources: nothing the user owns is replaced.
TEST_F(BatchFixture, AnOutputThatIsASourceIsNeverWritten) {
  // A source whose output names it through another spelling of its folder
  // (set by hand, a re-base, a project from elsewhere).
  WriteText(out / "holiday.mp4", "the original film");
  std::filesystem::create_directory_symlink(out.path(), dir / "link");
  Add("holiday").sourcePath = out / "holiday.mp4";
  items.back()->outputPath = dir / "link/./holiday.mp4";
  Add("other");
  RunToEnd(1);
  EXPECT_EQ(test::ReadText(out / "holiday.mp4"), "the original film");
  ASSERT_EQ(lastFailures.size(), 1u);
  EXPECT_EQ(lastFailures[0].itemNumber, 1);
  EXPECT_NE(lastFailures[0].reason.find("is the source " + out / "holiday.mp4"), std::string::npos)
      << lastFailures[0].reason;
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "other.mp4"});

  // Another item's source counts as much as its own.
  items.clear();
  std::remove((dir / "fake_log.txt").c_str());
  Add("first").sourcePath = out / "holiday.mp4";
  Add("second").outputPath = out / "holiday.mp4";
  RunToEnd(1);
  EXPECT_EQ(test::ReadText(out / "holiday.mp4"), "the original film");
  EXPECT_EQ(Outputs(), std::vector<std::string>{out / "first.mp4"});
}

TEST_F(BatchFixture, PiecesObeyTheOverwritePolicy) {
  Add("film", 1500).splitMode = "00:10:00";
  WriteText(dir / "fake.cfg", "write_output=1\nduration=600\n");
  WriteText(out / "film_clip_2.mp4", "old piece");
  WriteText(out / "film_clip_10.mp4", "old piece");

  shell.answers = {false};
  RunToEnd(kAskBeforeOverwrite);
  EXPECT_EQ(shell.questions, std::vector<std::string>{"File \"" + out / "film_clip_2.mp4" +
                                                      "\" already exists.Overwrite?"});
  EXPECT_TRUE(Outputs().empty());

  RunToEnd(kSkipExisting);
  EXPECT_TRUE(Outputs().empty());
  EXPECT_EQ(test::ReadText(out / "film_clip_2.mp4"), "old piece");

  RunToEnd(kOverwrite);
  EXPECT_EQ(Outputs().size(), 3u);
}

TEST_F(BatchFixture, ASourceNamedLikeAPieceDoesNotShareItsFile) {
  Add("film", 1500).splitMode = "00:10:00";
  Add("film_clip_1");  // writes film_clip_1.mp4, film's first piece
  Add("film_clip_01");  // a name no piece has
  WriteText(dir / "fake.cfg", "write_output=1\nduration=600\n");
  RunToEnd(1);
  ASSERT_EQ(lastFailures.size(), 1u);
  EXPECT_EQ(lastFailures[0].itemNumber, 2);
  EXPECT_EQ(lastFailures[0].reason, "item 1 writes the same output file " + out / "film_clip_1.mp4");
}

// An identification between two pieces that hangs is ended like an encode.
TEST_F(BatchFixture, StopEndsAHungIdentificationBetweenPieces) {
  Add("film", 1500).splitMode = "00:10:00";
  WriteText(dir / "fake.cfg", "write_output=1\nduration=600\nidentify_ms=120000\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  while (ReadLines(dir / "fake_log.txt").size() < 2) std::this_thread::yield();
  run.Stop();
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  EXPECT_EQ(shell.messages, std::vector<std::string>{kEngineKilled});
  run.Join();
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The window's commands against a real conversion thread, without a window:
// the folder re-based (under the list lock) and Stop from another thread
// while the run reads the items. Run under ThreadSanitizer too.
TEST_F(BatchFixture, CommandsDuringARunTakeTheListLock) {
  for (int i = 0; i < 6; ++i) Add("item" + std::to_string(i));
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=100\nstep=1\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  int rebases = 0;
  while (run.currentItemNumber < 3 && run.ThreadRunning()) {
    std::lock_guard lock(run.itemsMutex());
    RebaseOutputPaths(items, rebases++ % 2 ? out.path() : out / "sub");
  }
  {
    std::lock_guard lock(run.itemsMutex());
    RebaseOutputPaths(items, out.path());
  }
  run.Stop();
  run.Join();
  EXPECT_GT(rebases, 0);
  EXPECT_TRUE(run.WasStopped());
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  // Every engine wrote where its item pointed when it started, each file once.
  const std::vector<std::string> outputs = Outputs();
  EXPECT_GE(outputs.size(), 3u);
  for (std::size_t i = 0; i < outputs.size(); ++i)
    for (std::size_t k = 0; k < i; ++k) EXPECT_NE(outputs[i], outputs[k]);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// What the desktop learns of a run: when its items start (after any refusal)
// and, before the end text, how it ended; a stopped run has no notice.
TEST_F(BatchFixture, TheHostLearnsWhenTheItemsStartAndHowTheRunEnded) {
  host.logRunEdges = true;
  Add("a");
  Add("b");
  Add("c").outputPath = out / "b.mp4";  // b's output: c fails before any engine
  RunToEnd(1);
  std::vector<std::string> edges;
  for (const std::string& e : host.Events())
    for (const char* kind : {"run started", "run ended", "+ ", "tell "})
      if (e.rfind(kind, 0) == 0) edges.push_back(kind);
  EXPECT_EQ(edges,
            (std::vector<std::string>{"run started", "+ ", "+ ", "run ended", "tell "}));
  EXPECT_EQ(host.Events()[host.Events().size() - 2], "run ended 1 of 3 items failed");

  // A run refused before any item starts tells neither edge.
  items.clear();
  WriteText(out / "plain file", "");
  Add("d").outputPath = out / "plain file/d.mp4";
  const std::size_t before = host.Events().size();
  RunToEnd(1);
  for (std::size_t i = before; i < host.Events().size(); ++i)
    EXPECT_NE(host.Events()[i].rfind("run ", 0), 0u) << host.Events()[i];

  EXPECT_EQ(RunNoticeText(0, 6), "Complete!");
  EXPECT_EQ(RunNoticeText(2, 6), "2 of 6 items failed");
  EXPECT_EQ(RunNoticeText(1, 1), "The item failed");
}

TEST_F(BatchFixture, AStoppedRunEndsWithoutANotice) {
  host.logRunEdges = true;
  Add("film");
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=60000\nstep=1\nduration=600\n");
  BatchRun run(items, link, host);
  ASSERT_TRUE(run.Convert(1));
  while (run.Activity() != EngineActivity::Converting) std::this_thread::yield();
  run.Stop();
  run.Join();
  const std::vector<std::string> events = host.Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], "run ended ");
  EXPECT_EQ(std::count(events.begin(), events.end(), "run started"), 1);
}

}  // namespace
}  // namespace orv
