#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/link/engine_link.h"
#include "core/link/identification.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

struct LinkFixture : ::testing::Test {
  TempDir dir;
  test::ScriptedShell shell;
  Installation inst{dir.path(), dir.path()};
  EngineLink link{inst, shell};
  void SetUp() override { link.PrepareFolder(dir.path()); }
};

TEST_F(LinkFixture, PrepareFolderSetsPathsAndResetsTheAnswer) {
  link.mediaInfo->durationSeconds = 99;
  link.mediaInfo->reserved8 = 7;
  link.PrepareFolder("/app/");
  EXPECT_EQ(link.mediaInfoPath, "/app/videoinfo.dat");
  EXPECT_EQ(link.controlPath, "/app/vctrl.dat");
  EXPECT_EQ(link.positionPath, "/app/vprog.dat");
  EXPECT_EQ(link.Duration(), 0.0);
  EXPECT_EQ(link.mediaInfo->reserved8, 1.0);
  Installation app{"/app/", "/app/"};
  EXPECT_EQ(EngineLink(app, shell).FolderOption(), " -currentfolder \"/app/\" ");
}

TEST_F(LinkFixture, WriteControlPauseGivesTheExactBytes) {
  ASSERT_TRUE(link.WriteControl(EngineCommand::Pause));
  std::string bytes = ReadText(dir / "vctrl.dat");
  ASSERT_EQ(bytes.size(), 32u);
  const unsigned char expected[32] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0, 0, 0,
                                      0, 0, 0x80, 0x3F, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), expected, 32), 0);
  ASSERT_TRUE(link.WriteControl(EngineCommand::Stop));
  EXPECT_EQ(ReadText(dir / "vctrl.dat")[0], 2);
}

TEST_F(LinkFixture, WriteControlGivesUpOnAnUnwritableFolder) {
  link.PrepareFolder("/proc/no-such-folder/");
  EXPECT_FALSE(link.WriteControl(EngineCommand::Run));
}

TEST_F(LinkFixture, ReadPositionIsMinusOneWithoutAFileOrForGarbage) {
  EXPECT_EQ(link.ReadPosition(), -1.0);
  double p = 12.25;
  WriteText(dir / "vprog.dat", std::string(reinterpret_cast<char*>(&p), 8));
  EXPECT_EQ(link.ReadPosition(), 12.25);
  WriteText(dir / "vprog.dat", "abc");  // short
  EXPECT_EQ(link.ReadPosition(), -1.0);
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    WriteText(dir / "vprog.dat", std::string(reinterpret_cast<char*>(&bad), 8));
    EXPECT_EQ(link.ReadPosition(), -1.0);
  }
}

TEST_F(LinkFixture, ReadMediaInfoHandlesMissingShortAndDamagedFiles) {
  EXPECT_FALSE(link.ReadMediaInfo());
  EXPECT_EQ(link.Duration(), 0.0);

  MediaInfo info;
  info.durationSeconds = 3725.5;
  info.videoWidth = 720;
  info.videoHeight = 576;
  WriteText(dir / "videoinfo.dat", std::string(reinterpret_cast<char*>(&info), sizeof info));
  ASSERT_TRUE(link.ReadMediaInfo());
  EXPECT_EQ(link.Duration(), 3725.5);
  EXPECT_EQ(link.mediaInfo->videoWidth, 720);

  // A short answer is a failure, and nothing of the last answer survives
  // it (a half record used to keep the previous item's picture size).
  WriteText(dir / "videoinfo.dat", "xy");
  link.PrepareFolder(dir.path());
  EXPECT_FALSE(link.ReadMediaInfo());
  EXPECT_EQ(link.Duration(), 0.0);
  MediaInfo half;
  half.durationSeconds = 12;
  WriteText(dir / "videoinfo.dat", std::string(reinterpret_cast<char*>(&half), 8));
  EXPECT_FALSE(link.ReadMediaInfo());
  EXPECT_EQ(link.Duration(), 0.0);
  EXPECT_EQ(link.mediaInfo->videoWidth, 0);

  info.durationSeconds = std::numeric_limits<double>::quiet_NaN();
  WriteText(dir / "videoinfo.dat", std::string(reinterpret_cast<char*>(&info), sizeof info));
  link.ReadMediaInfo();
  EXPECT_EQ(link.Duration(), 0.0);

  EngineLink unprepared(inst, shell);
  EXPECT_FALSE(unprepared.ReadMediaInfo());
}

TEST(MediaInfoRecord, NamesAreReadOnlyUpToTheirField) {
  auto info = std::make_unique<MediaInfo>();
  std::memset(info->audioStreamNames[0], 'A', kNameBytes);  // no terminating zero
  std::memset(info->audioStreamNames[1], 'B', kNameBytes);
  EXPECT_EQ(NameText(info->audioStreamNames[0]), std::string(kNameBytes, 'A'));
  std::strcpy(info->audioStreamLanguages[0], "en");
  EXPECT_EQ(NameText(info->audioStreamLanguages[0]), "en");
}

TEST(MediaInfoRecord, StreamListsEndAtTheFirstNegativeEntryOrTheArrayEnd) {
  auto info = std::make_unique<MediaInfo>();
  info->audioStreamIds[0] = 3;
  info->audioStreamIds[1] = 7;
  info->audioStreamIds[2] = -1;
  info->audioStreamIds[3] = 5;
  EXPECT_EQ(CountStreamList(info->audioStreamIds), 2);
  for (auto& id : info->subtitleIds) id = 1;
  EXPECT_EQ(CountStreamList(info->subtitleIds), kMaxStreams);
}

TEST(EngineActivity, ComesFromTheProcessAndTheIdleFlag) {
  EXPECT_EQ(ComputeActivity(false, 0), EngineActivity::Idle);
  EXPECT_EQ(ComputeActivity(false, 1), EngineActivity::Idle);
  EXPECT_EQ(ComputeActivity(true, 0), EngineActivity::Converting);
  EXPECT_EQ(ComputeActivity(true, 1), EngineActivity::Playing);
}

}  // namespace
}  // namespace orv
