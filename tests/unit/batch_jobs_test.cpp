// A run converting two items at once, with the fake engine: each engine in
// a working folder of its own, never more than two at a time, a split
// item's pieces in order, one question at a time, Stop ending both, the
// failures told in the list's order, and the progress of the whole run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "core/convert/batch_run.h"
#include "core/convert/encode_command.h"
#include "core/list/identify_files.h"
#include "core/convert/run_progress.h"
#include "platform/command_line.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "core/settings/app_settings.h"
#include "core/settings/option_tables.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadLines;
using test::WriteText;

class QuietHost : public test::NullHost {
 public:
  bool AskOkCancel(const std::string&, const std::string&) override {
    const int inside = ++asking_;
    maxAsking = std::max(maxAsking.load(), inside);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    --asking_;
    ++questions;
    return true;
  }
  void MarkConverting(int index, bool on) override {
    std::lock_guard lock(mutex_);
    marks.push_back((on ? "+" : "-") + std::to_string(index));
  }
  std::atomic<int> maxAsking{0};
  std::atomic<int> questions{0};
  std::vector<std::string> marks;

 private:
  std::atomic<int> asking_{0};
  std::mutex mutex_;
};

struct JobsFixture : ::testing::Test {
  test::TempDir dir, out;
  test::ScriptedShell shell;
  Installation inst = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  EngineLink link{inst, shell};
  QuietHost host;
  ItemList items;

  void SetUp() override { link.PrepareFolder(dir.path()); }
  SourceItem& Add(const std::string& name, double duration = 100) {
    auto item = std::make_unique<SourceItem>();
    ApplyNewItemDefaults(0, *item);
    item->sourcePath = "/in/" + name + ".avi";
    item->outputPath = out / (name + ".mp4");
    item->duration = item->clipEndSeconds = duration;
    items.push_back(std::move(item));
    return *items.back();
  }
  // Encode starts as "output folder" pairs, in the order they were logged.
  std::vector<std::pair<std::string, std::string>> Starts() {
    std::vector<std::pair<std::string, std::string>> starts;
    for (const auto& line : ReadLines(dir / "fake_log.txt")) {
      auto o = line.find("|-o|"), f = line.find("|-currentfolder|");
      if (o == std::string::npos || f == std::string::npos) continue;
      starts.emplace_back(line.substr(o + 4, line.find('|', o + 4) - o - 4), line.substr(f + 16));
    }
    return starts;
  }
  // The most engines that ran at the same time, from their start and end notes.
  int MostAtOnce() {
    std::vector<std::pair<long long, int>> events;
    for (const auto& line : ReadLines(dir / "fake_spans.txt")) {
      std::istringstream in(line);
      std::string what, output;
      long long ms = 0;
      in >> what >> output >> ms;
      events.emplace_back(ms, what == "start" ? 1 : -1);
    }
    std::sort(events.begin(), events.end());  // an end before a start at the same ms
    int now = 0, most = 0;
    for (const auto& [ms, step] : events) most = std::max(most, now += step);
    return most;
  }
};

TEST_F(JobsFixture, TwoAtOnceEachInItsOwnFolderWithAllPiecesInOrder) {
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=200\nduration=600\n");
  Add("a");
  Add("film", 1500).splitMode = "00:10:00";
  Add("c");
  Add("d");
  Add("e");
  BatchRun run(items, link, host);
  run.SetJobs(2);
  ASSERT_TRUE(run.Convert(kOverwrite));
  run.Join();
  EXPECT_TRUE(run.failures().empty()) << run.failures().front().reason;
  EXPECT_EQ(run.convertedCount(), 5);

  std::map<std::string, std::string> folderOf;
  std::vector<std::string> pieces;
  for (const auto& [output, folder] : Starts()) {
    folderOf[output] = folder;
    if (output.find("film_clip_") != std::string::npos) pieces.push_back(output);
  }
  EXPECT_EQ(folderOf.size(), 7u);  // four items and three pieces
  for (const auto& [output, folder] : folderOf)
    EXPECT_TRUE(folder == dir / "job-1/" || folder == dir / "job-2/") << output << " in " << folder;
  EXPECT_EQ(pieces, (std::vector<std::string>{out / "film_clip_1.mp4", out / "film_clip_2.mp4",
                                              out / "film_clip_3.mp4"}));
  // The pieces of the split item stay with one engine.
  EXPECT_EQ(folderOf[out / "film_clip_1.mp4"], folderOf[out / "film_clip_3.mp4"]);
  EXPECT_EQ(MostAtOnce(), 2);
  EXPECT_EQ(std::count_if(host.marks.begin(), host.marks.end(),
                          [](const std::string& m) { return m[0] == '+'; }),
            5);
}

TEST_F(JobsFixture, EachEngineGetsItsShareOfTheCores) {
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=50\n");
  Add("a");
  Add("b");
  {
    BatchRun one(items, link, host);
    ASSERT_TRUE(one.Convert(kOverwrite));
    one.Join();
  }
  BatchRun two(items, link, host);
  two.SetJobs(2);
  ASSERT_TRUE(two.Convert(kOverwrite));
  two.Join();
  const std::string share = "|-lavdopts|threads=" +
                            std::to_string(LaneThreads(2, std::thread::hardware_concurrency())) +
                            "|-lavcopts|threads=";
  int alone = 0, shared = 0;
  for (const auto& line : ReadLines(dir / "fake_log.txt")) {
    if (line.find("|-o|") == std::string::npos) continue;
    (line.find("|-currentfolder|" + dir / "job-") == std::string::npos ? alone : shared) += 1;
    // One engine keeps the line it always had; two share the cores out.
    EXPECT_EQ(line.find(share) != std::string::npos,
              line.find("|-currentfolder|" + dir / "job-") != std::string::npos)
        << line;
  }
  EXPECT_EQ(alone, 2);
  EXPECT_EQ(shared, 2);
  EXPECT_EQ(LaneThreads(2, 2), 1);
  EXPECT_EQ(LaneThreads(3, 16), 5);
  EXPECT_EQ(LaneThreads(8, 4), 1);
}

TEST_F(JobsFixture, FilesAreIdentifiedSeveralAtOnceInOrder) {
  WriteText(dir / "fake.cfg", "duration=42\nwidth=320\nheight=240\nidentify_ms=200\n");
  const std::vector<std::string> paths = {"/in/a.avi", "/in/b.avi", "/in/c.avi", "/in/d.avi"};
  const std::vector<FileAnswer> answers = IdentifyFiles(link, paths, 2);
  ASSERT_EQ(answers.size(), 4u);
  for (const FileAnswer& answer : answers) {
    EXPECT_EQ(answer.result, Identified::Yes);
    EXPECT_EQ(answer.duration, 42);
  }
  std::map<std::string, int> byFolder;
  for (const auto& line : ReadLines(dir / "fake_log.txt"))
    if (line.find("-identify") != std::string::npos)
      ++byFolder[line.substr(line.find("|-currentfolder|") + 16)];
  EXPECT_EQ(byFolder.size(), 2u);
  EXPECT_EQ(byFolder[dir / "job-1/"] + byFolder[dir / "job-2/"], 4);
  EXPECT_EQ(MostAtOnce(), 2);

  // An engine of this installation already running: every file is refused,
  // as one engine's identification would be, and none is started.
  WriteText(dir / "fake.cfg", "run_ms=60000\nduration=5\n");
  LaunchEngine(QuoteArg(inst.EngineLocation()) + " -o x -currentfolder " + QuoteArg(dir.path()),
               false);
  auto logged = [&] { return ReadLines(dir / "fake_log.txt").size(); };
  for (int i = 0; i < 200 && logged() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  ASSERT_TRUE(IsEngineRunning(inst.EngineLocation()));
  const std::vector<FileAnswer> busy = IdentifyFiles(link, paths, 2);
  EXPECT_EQ(logged(), 5u);
  // A share of a list run beside the other shares expects their engines.
  link.lane = true;
  for (const FileAnswer& answer : IdentifyFiles(link, paths, 2))
    EXPECT_EQ(answer.result, Identified::Yes);
  link.WriteControl(EngineCommand::Stop);
  for (int i = 0; i < 200 && IsEngineRunning(inst.EngineLocation()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  for (const FileAnswer& answer : busy) EXPECT_EQ(answer.result, Identified::EngineBusy);
}

TEST_F(JobsFixture, QuestionsComeOneAtATime) {
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=100\n");
  for (const char* name : {"a", "b", "c", "d"}) {
    Add(name);
    WriteText(out / (std::string(name) + ".mp4"), "old");
  }
  BatchRun run(items, link, host);
  run.SetJobs(3);
  ASSERT_TRUE(run.Convert(kAskBeforeOverwrite));
  run.Join();
  EXPECT_EQ(host.questions.load(), 4);
  EXPECT_EQ(host.maxAsking.load(), 1);
}

TEST_F(JobsFixture, StopEndsEveryEngineAndStartsNoMore) {
  WriteText(dir / "fake.cfg", "write_output=1\nrun_ms=60000\nstep=0.1\n");
  for (const char* name : {"a", "b", "c", "d"}) Add(name);
  BatchRun run(items, link, host);
  run.SetJobs(2);
  ASSERT_TRUE(run.Convert(kOverwrite));
  for (int i = 0; i < 500 && Starts().size() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(Starts().size(), 2u);
  const auto asked = std::chrono::steady_clock::now();
  run.Stop();
  run.Join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  EXPECT_EQ(Starts().size(), 2u);
  EXPECT_TRUE(run.WasStopped());
  EXPECT_EQ(run.stopPoint().itemNumber, 1);
  EXPECT_EQ(run.stopPoint().notStarted, 2);
  EXPECT_EQ(run.endText().rfind(kStoppedMessage, 0), 0u) << run.endText();
}

TEST_F(JobsFixture, FailuresAreToldInTheListsOrder) {
  // a runs long and fails last; c fails before it on the other engine.
  WriteText(dir / "fake.cfg",
            "write_output=1\nrun_ms=200\nslow_output=/a.mp4\nfail_output=/a.mp4,/c.mp4\n");
  for (const char* name : {"a", "b", "c", "d"}) Add(name);
  BatchRun run(items, link, host);
  run.SetJobs(2);
  ASSERT_TRUE(run.Convert(kOverwrite));
  run.Join();
  ASSERT_EQ(run.failures().size(), 2u);
  EXPECT_EQ(run.failures()[0].itemNumber, 1);
  EXPECT_EQ(run.failures()[1].itemNumber, 3);
  EXPECT_EQ(run.convertedCount(), 2);
  const std::string text = run.endText();
  EXPECT_LT(text.find("/in/a.avi"), text.find("/in/c.avi")) << text;
}

TEST_F(JobsFixture, AShareConvertsOnlyItsItems) {
  WriteText(dir / "fake.cfg", "write_output=1\n");
  for (const char* name : {"a", "b", "c", "d", "e"}) Add(name);
  BatchRun run(items, link, host);
  run.SetShare(1, 2);
  ASSERT_TRUE(run.Convert(kOverwrite));
  run.Join();
  std::vector<std::string> outputs;
  for (const auto& start : Starts()) outputs.push_back(start.first);
  EXPECT_EQ(outputs, (std::vector<std::string>{out / "b.mp4", out / "d.mp4"}));
  EXPECT_EQ(run.convertedCount(), 2);
}

TEST(RunProgress, FollowsTheOldestItemAndTheWholeRun) {
  RunProgress progress({100, 100, 50, 50});
  // Items 2 and 3 running, 2 started first; item 1 finished.
  RunProgressView v = progress.Update(10, {{2, 50, 1}, {3, 25, 2}}, 100);
  EXPECT_EQ(v.first, 2);
  EXPECT_EQ(v.last, 3);
  EXPECT_EQ(v.itemPercent, 50);
  EXPECT_EQ(v.listPercent, 58);  // (100 + 50 + 25) of 300
  ASSERT_TRUE(v.secondsLeft);
  EXPECT_NEAR(*v.secondsLeft, 125.0 * 10 / 175, 1e-9);
  EXPECT_EQ(RangeEstimateText(v.first, v.last, 4, std::nullopt), "Items 2\u20133 of 4 - estimating...");
  EXPECT_EQ(RangeEstimateText(3, 3, 4, 42), "Item 3 of 4 - about 42 s left");
  // Positions from a stale or odd file change nothing beyond an item's length.
  v = progress.Update(0.1, {{4, 1e9, 5}, {9, 10, 6}}, -3);
  EXPECT_EQ(v.first, 4);
  EXPECT_EQ(v.listPercent, 16);
  EXPECT_FALSE(v.secondsLeft);
}

TEST(Simultaneous, SettingTextsAndTheAutomaticChoice) {
  EXPECT_EQ(ParseSimultaneous("auto"), 0);
  EXPECT_EQ(ParseSimultaneous("0"), 0);
  EXPECT_EQ(ParseSimultaneous("3"), 3);
  for (const char* bad : {"", "17", "-1", "2x", " 2", "two"})
    EXPECT_FALSE(ParseSimultaneous(bad)) << bad;
  EXPECT_EQ(JobsFor(0, 1), 1);
  EXPECT_EQ(JobsFor(0, 2), 2);
  EXPECT_EQ(JobsFor(0, 8), 4);
  EXPECT_EQ(JobsFor(0, 64), 8);
  EXPECT_EQ(JobsFor(3, 64), 3);

  // Without the key a run goes one item after another, as it always has.
  test::TempDir dir;
  const std::string ini = dir / "orvantic.ini";
  WriteText(ini, "[GENERAL]\nOverWriteType=1\n");
  EXPECT_EQ(ReadSettings(ini).simultaneous, 1);
  WriteSimultaneous(0, ini);
  EXPECT_EQ(ReadSettings(ini).simultaneous, 0);
  WriteText(ini, "[GENERAL]\nSimultaneousConversions=many\n");
  EXPECT_EQ(ReadSettings(ini).simultaneous, 1);
}

}  // namespace
}  // namespace orv
