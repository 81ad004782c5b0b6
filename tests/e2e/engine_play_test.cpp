// Play mode end to end: the real engine plays into a window this test makes
// on its own Xvfb server, steered through vctrl.dat like the GUI does.
// Skips where no Xvfb can be started.
#include "tests/e2e/x11_harness.h"

#include <cstdlib>

#include "shared/frame_channel.h"

namespace {

using namespace orv_engine_test;

// The GUI's play line, piece by piece.
std::string playLine(const std::string& source, const std::string& range, unsigned long wid,
                     const fs::path& dir) {
  return " \"" + source + "\" " + range + " -framedrop -slave -wid " + std::to_string(wid) +
         " -colorkey 0x000102 -keepaspect -priority abovenormal -ao dsound -vo directx "
         "-currentfolder \"" +
         dir.string() + "/\"";
}

class PlayTest : public EngineTest {
 protected:
  void SetUp() override {
    if (g_display.empty()) GTEST_SKIP() << "no Xvfb here";
    EngineTest::SetUp();
    writeCommand(dir_, orv::EngineCommand::Run);
  }
  void TearDown() override {
    if (engine_.pid > 0) {
      kill(engine_.pid, SIGKILL);
      waitpid(engine_.pid, nullptr, 0);
    }
    if (!g_display.empty()) EngineTest::TearDown();
  }
  Engine engine_;
};

TEST_F(PlayTest, ShowsTheWantedRangeWithItsAspectAndEndsByItself) {
  Panel panel(320, 240);
  // colours.mp4: red for 1 s, then blue, then green; 16:9.
  engine_ = startLine(
      playLine(media("colours.mp4"), " -ss 1.000000 -endpos 1.000000 ", panel.id(), dir_));
  ASSERT_TRUE(waitUntil(
      [&] {
        return near(panel.pixel(160, 120), {0, 0, 255});
      },
      3000ms))
      << "centre shows " << show(panel.pixel(160, 120));
  // 320x180 inside 320x240: black bars of 30 rows.
  EXPECT_TRUE(near(panel.pixel(160, 10), {0, 0, 0}, 10)) << show(panel.pixel(160, 10));
  EXPECT_TRUE(near(panel.pixel(160, 230), {0, 0, 0}, 10)) << show(panel.pixel(160, 230));
  EXPECT_TRUE(near(panel.pixel(5, 120), {0, 0, 255})) << show(panel.pixel(5, 120));
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 4000ms))
      << "did not end by itself";
  EXPECT_EQ(status, 0) << readText(engine_.errFile);
  EXPECT_NEAR(readPosition(dir_), 2.0, 0.15);
}

TEST_F(PlayTest, PauseHoldsResumeMovesOnStopEndsAtOnce) {
  Panel panel(320, 240);
  engine_ = startLine(playLine(media("long.avi"), "", panel.id(), dir_));
  ASSERT_TRUE(waitUntil([&] { return readPosition(dir_) > 0.5; }, 5000ms))
      << readText(engine_.errFile);
  writeCommand(dir_, orv::EngineCommand::Pause);
  std::this_thread::sleep_for(300ms);
  const double held = readPosition(dir_);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(readPosition(dir_), held) << "position moved while paused";
  writeCommand(dir_, orv::EngineCommand::Run);
  EXPECT_TRUE(waitUntil([&] { return readPosition(dir_) > held + 0.3; }, 3000ms))
      << "did not resume";

  const auto asked = std::chrono::steady_clock::now();
  writeCommand(dir_, orv::EngineCommand::Stop);
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 2000ms));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - asked);
  EXPECT_EQ(status, 0);
  EXPECT_LT(took.count(), 500) << "stop took " << took.count() << " ms";
  RecordProperty("stop_ms", static_cast<int>(took.count()));
}

TEST_F(PlayTest, PlaysOnAcrossChangesOfSoundLayoutPictureSizeAndChroma) {
  // changes.ts: 5.1 at 48 kHz under 320x240 4:2:0, then stereo at 44.1 kHz
  // under 352x288 4:2:2, 2 s each.
  Panel panel(320, 240);
  engine_ = startLine(playLine(media("changes.ts"), "", panel.id(), dir_));
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 8000ms))
      << "did not end by itself";
  EXPECT_EQ(status, 0) << readText(engine_.errFile);
  // No message of ours (the sound library may talk about missing devices).
  EXPECT_EQ(readText(engine_.errFile).find("orvantic-engine"), std::string::npos)
      << readText(engine_.errFile);
  EXPECT_NEAR(readPosition(dir_), 4.0, 0.2);
}

TEST_F(PlayTest, PanelClosedEndsTheEngineWithoutASignal) {
  Panel panel(320, 240);
  engine_ = startLine(playLine(media("long.avi"), "", panel.id(), dir_));
  ASSERT_TRUE(waitUntil([&] { return readPosition(dir_) > 0.3; }, 5000ms))
      << readText(engine_.errFile);
  panel.destroy();
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 2000ms));
  EXPECT_EQ(status, 0) << readText(engine_.errFile);
}

TEST_F(PlayTest, BadWindowOrNoDisplayEndsPromptlyWithAMessage) {
  engine_ = startLine(playLine(media("white43.avi"), "", 0x7ffff1, dir_));
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 3000ms));
  EXPECT_NE(status, 0);
  EXPECT_LT(status, 128);
  EXPECT_NE(readText(engine_.errFile).find("does not exist"), std::string::npos)
      << readText(engine_.errFile);

  const std::string display = g_display;
  unsetenv("DISPLAY");
  engine_ = startLine(playLine(media("white43.avi"), "", 1234, dir_));
  setenv("DISPLAY", display.c_str(), 1);
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 3000ms));
  EXPECT_NE(status, 0);
  EXPECT_NE(readText(engine_.errFile).find("X display"), std::string::npos)
      << readText(engine_.errFile);
}

// The window's own path: the pictures come through the channel it hands
// over, scaled to the panel's size in device pixels with the aspect kept,
// and follow the panel when it changes size. No display is involved.
class ChannelPlayTest : public EngineTest {
 protected:
  void TearDown() override {
    if (engine_.pid > 0) {
      kill(engine_.pid, SIGKILL);
      waitpid(engine_.pid, nullptr, 0);
    }
    EngineTest::TearDown();
  }
  // Starts the play line with the channel as the window passes it, and no
  // display in the engine's environment.
  void StartWithChannel(const std::string& line, orv::FrameChannel& channel) {
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::unsetenv("DISPLAY");
    ::setenv(orv::kFrameFdVariable, std::to_string(channel.fd()).c_str(), 1);
    ::fcntl(channel.fd(), F_SETFD, 0);
    engine_ = startLine(line);
    ::fcntl(channel.fd(), F_SETFD, FD_CLOEXEC);
    ::unsetenv(orv::kFrameFdVariable);
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
  }
  Engine engine_;
};

bool IsBlue(const orv::FramePicture& p) {
  const std::uint8_t* c = p.pixels.data() + (std::size_t(p.height / 2) * p.width + p.width / 2) * 4;
  return c[0] > 200 && c[1] < 60 && c[2] < 60;  // B, G, R
}

TEST_F(ChannelPlayTest, PicturesComeSizedToThePanelWithoutAnyDisplay) {
  writeCommand(dir_, orv::EngineCommand::Run);
  std::string error;
  auto channel = orv::FrameChannel::Create(error);
  ASSERT_TRUE(channel) << error;
  channel->SetPanelSize(400, 400);
  // colours.mp4 is 16:9: blue from 1 s to 2 s.
  StartWithChannel(playLine(media("colours.mp4"), " -ss 1.000000 -endpos 1.000000 ", 77, dir_),
                   *channel);
  orv::FramePicture picture;
  ASSERT_TRUE(waitUntil([&] { return channel->TakeNewest(picture.sequence, picture); }, 3000ms))
      << readText(engine_.errFile);
  EXPECT_EQ(picture.width, 400);
  EXPECT_EQ(picture.height, 225);
  EXPECT_TRUE(IsBlue(picture));
  channel->SetPanelSize(160, 300);  // a narrow panel: the width rules
  ASSERT_TRUE(waitUntil(
      [&] { return channel->TakeNewest(picture.sequence, picture) && picture.width == 160; },
      2000ms));
  EXPECT_EQ(picture.height, 90);
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 4000ms));
  EXPECT_EQ(status, 0) << readText(engine_.errFile);
}

TEST_F(ChannelPlayTest, ADescriptorThatIsNoChannelIsRefused) {
  writeCommand(dir_, orv::EngineCommand::Run);
  ::setenv(orv::kFrameFdVariable, "0", 1);  // stdin: /dev/null
  engine_ = startLine(playLine(media("colours.mp4"), "", 77, dir_));
  ::unsetenv(orv::kFrameFdVariable);
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 3000ms));
  EXPECT_NE(status, 0);
  EXPECT_NE(readText(engine_.errFile).find("picture channel"), std::string::npos)
      << readText(engine_.errFile);
}

}  // namespace
