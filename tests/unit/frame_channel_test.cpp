// The picture channel between the player and the window: a picture goes
// across whole, a half-written or overwritten one is never taken, and the
// engine's side refuses what is not a channel of this program.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "shared/frame_channel.h"

namespace orv {
namespace {

std::unique_ptr<FrameChannel> MakeChannel() {
  std::string error;
  auto channel = FrameChannel::Create(error);
  EXPECT_TRUE(channel) << error;
  return channel;
}

void Paint(FrameChannel& engine, int w, int h, std::uint8_t value) {
  int stride = 0;
  std::uint8_t* p = engine.BeginPicture(w, h, stride);
  for (int y = 0; y < h; ++y) std::memset(p + y * stride, value, std::size_t(w) * 4);
}

TEST(FrameChannel, PicturesCrossWholeAndOnlyOnceTheyArePublished) {
  auto window = MakeChannel();
  std::string error;
  auto engine = FrameChannel::Attach(::dup(window->fd()), error);
  ASSERT_TRUE(engine) << error;

  window->SetPanelSize(640, 360);
  int w = 0, h = 0;
  engine->PanelSize(w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);

  FramePicture picture;
  EXPECT_FALSE(window->TakeNewest(0, picture)) << "nothing published yet";
  Paint(*engine, 64, 36, 0x11);
  EXPECT_FALSE(window->TakeNewest(0, picture)) << "a picture being written was taken";
  engine->Publish();
  ASSERT_TRUE(window->TakeNewest(0, picture));
  EXPECT_EQ(picture.width, 64);
  EXPECT_EQ(picture.height, 36);
  EXPECT_EQ(picture.pixels.size(), 64u * 36 * 4);
  EXPECT_EQ(picture.pixels.back(), 0x11);
  EXPECT_FALSE(window->TakeNewest(picture.sequence, picture)) << "the same picture twice";

  // The engine laps the ring while the window is away: the newest wins.
  for (std::uint8_t v = 1; v <= 5; ++v) {
    Paint(*engine, 32, 18, v);
    engine->Publish();
  }
  ASSERT_TRUE(window->TakeNewest(picture.sequence, picture));
  EXPECT_EQ(picture.pixels.front(), 5);

  // The slot of the newest picture is being rewritten: not taken, torn.
  const std::uint64_t seen = picture.sequence;
  Paint(*engine, 32, 18, 9);
  engine->Publish();
  for (int i = 0; i < kFrameSlots; ++i) Paint(*engine, 32, 18, 7);  // left unpublished
  EXPECT_FALSE(window->TakeNewest(seen, picture));

  window->Reset();
  EXPECT_FALSE(window->TakeNewest(0, picture)) << "a reset channel still had a picture";
}

TEST(FrameChannel, SizesAreBoundedByTheSlots) {
  auto window = MakeChannel();
  window->SetPanelSize(100000, -5);
  int w = 0, h = 0;
  window->PanelSize(w, h);
  EXPECT_EQ(w, kFrameMaxWidth);
  EXPECT_EQ(h, 0);
  int width = 99999, height = 0, stride = 0;
  window->BeginPicture(width, height, stride);
  EXPECT_EQ(width, kFrameMaxWidth);
  EXPECT_EQ(height, 1);
  EXPECT_EQ(stride, kFrameMaxWidth * 4);
}

TEST(FrameChannel, TheEngineRefusesWhatIsNoChannel) {
  std::string error;
  EXPECT_FALSE(FrameChannel::Attach(-1, error));
  EXPECT_NE(error.find("not open"), std::string::npos) << error;

  const int small = ::memfd_create("small", MFD_CLOEXEC);
  ASSERT_EQ(::ftruncate(small, 10), 0);
  EXPECT_FALSE(FrameChannel::Attach(small, error));
  EXPECT_NE(error.find("10 bytes"), std::string::npos) << error;

  // The right size, but not made by the window: no magic.
  auto window = MakeChannel();
  const off_t size = ::lseek(window->fd(), 0, SEEK_END);
  const int blank = ::memfd_create("blank", MFD_CLOEXEC);
  ASSERT_EQ(::ftruncate(blank, size), 0);
  EXPECT_FALSE(FrameChannel::Attach(blank, error));
  EXPECT_NE(error.find("another version"), std::string::npos) << error;
}

TEST(FitPicture, KeepsTheAspectInsideThePanel) {
  int w = 0, h = 0;
  FitPicture(16.0 / 9, 400, 400, w, h);
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 225);
  FitPicture(4.0 / 3, 1000, 300, w, h);
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 300);
  FitPicture(0, 50, 40, w, h);  // no aspect known: the whole panel
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 40);
  FitPicture(1000.0, 10, 10, w, h);  // never below one pixel
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 1);
}

}  // namespace
}  // namespace orv
