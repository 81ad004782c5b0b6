#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/link/identification.h"
#include "platform/command_line.h"
#include "platform/process_list.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadLines;
using test::TempDir;
using test::WriteText;

struct IdentifyFixture : ::testing::Test {
  TempDir dir;
  test::ScriptedShell shell;
  Installation inst = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  EngineLink link{inst, shell};
};

TEST_F(IdentifyFixture, SuccessLeavesTheAnswerAndPassesTheQuotedSource) {
  WriteText(dir / "fake.cfg", "duration=12.5\nwidth=640\nheight=480\n");
  ASSERT_TRUE(IdentifyAndWait(link, "/media/my clip \"1\".avi", false));
  EXPECT_EQ(link.Duration(), 12.5);
  EXPECT_EQ(link.mediaInfo->videoWidth, 640);
  auto log = ReadLines(dir / "fake_log.txt");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0],
            "/media/my clip \"1\".avi|-vo|null|-nosound|-identify|-currentfolder|" + dir.path());
  EXPECT_EQ(test::ReadText(dir / "vctrl.dat")[0], 2);  // Stop before the run
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(IdentifyFixture, DvdSourceTextKeepsItsOptionsApart) {
  WriteText(dir / "fake.cfg", "duration=100\n");
  ASSERT_TRUE(IdentifyAndWait(link, " dvd://1 -dvd-device \"e:\" ", true));
  EXPECT_EQ(ReadLines(dir / "fake_log.txt")[0],
            "dvd://1|-dvd-device|e:|-vo|null|-nosound|-identify|-currentfolder|" + dir.path());
}

TEST_F(IdentifyFixture, ZeroDurationOrNoAnswerIsAFailureNeverTheOldAnswer) {
  WriteText(dir / "fake.cfg", "duration=0\nwidth=1\n");
  EXPECT_FALSE(IdentifyAndWait(link, "/x.avi", false));

  WriteText(dir / "fake.cfg", "duration=30\n");
  ASSERT_TRUE(IdentifyAndWait(link, "/x.avi", false));
  WriteText(dir / "fake.cfg", "exit=1\n");  // writes nothing this time
  EXPECT_FALSE(IdentifyAndWait(link, "/y.avi", false));
  EXPECT_EQ(link.Duration(), 0.0);
}

TEST_F(IdentifyFixture, RefusesWhileAnEngineRuns) {
  WriteText(dir / "fake.cfg", "run_ms=60000\nduration=5\n");
  LaunchEngine(QuoteArg(inst.EngineLocation()) + " -o x -currentfolder " + QuoteArg(dir.path()),
               false);
  for (int i = 0; i < 200 && !IsEngineRunning(inst.EngineLocation()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  ASSERT_TRUE(IsEngineRunning(inst.EngineLocation()));
  for (int i = 0; i < 200 && ReadLines(dir / "fake_log.txt").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));

  EXPECT_EQ(Identify(link, "/x.avi", false), Identified::EngineBusy);
  EXPECT_TRUE(shell.messages.empty());  // the caller tells the user
  EXPECT_EQ(ReadLines(dir / "fake_log.txt").size(), 1u);  // no identify run started
  // IdentifyAndWait wrote Stop, which ends the running engine.
  for (int i = 0; i < 200 && IsEngineRunning(inst.EngineLocation()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(EngineMessages, TheLastErrorLineIsTheReason) {
  EXPECT_EQ(LastEngineError(""), "");
  EXPECT_EQ(LastEngineError("orvantic-engine: warning: 3 damaged packets were skipped\n"), "");
  EXPECT_EQ(LastEngineError("some library noise\n"
                            "orvantic-engine: warning: the source ends at 2.40 s\n"
                            "orvantic-engine: cannot write '/v/b.mp4': No space left on device\n"
                            "orvantic-engine: warning: late\r\n"),
            "cannot write '/v/b.mp4': No space left on device");
  // A last line without its newline (the engine was killed mid-write) counts.
  EXPECT_EQ(LastEngineError("orvantic-engine: first\norvantic-engine: second"), "second");
}

}  // namespace
}  // namespace orv
