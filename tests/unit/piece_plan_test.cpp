#include "core/convert/piece_plan.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/convert/progress.h"

namespace orv {
namespace {

SourceItem Split(const std::string& mode, double duration) {
  SourceItem item;
  item.outputFormat = "mp4";
  item.outputPath = "/out/film.mp4";
  item.splitMode = mode;
  item.duration = item.clipEndSeconds = duration;
  return item;
}

TEST(PiecePlan, SplitTexts) {
  EXPECT_EQ(SplitText("650 MB"), "650mb");
  EXPECT_EQ(SplitText(" 4.7 GB "), "4.7gb");
  EXPECT_EQ(SplitText("  Not Split "), "");
  EXPECT_EQ(SplitText("00:10:00"), "00:10:00");
}

TEST(PiecePlan, UnsplitAndMp3ItemsRunOnce) {
  SourceItem item = Split("Not split", 100);
  EXPECT_EQ(FirstPiece(item).range, "");
  EXPECT_EQ(FirstPiece(item).output, "/out/film.mp4");
  item.clipEnabled = 1;
  item.clipStartSeconds = 10;
  item.clipEndSeconds = 25.5;
  item.outputPath = "/out/by hand.mp4";
  EXPECT_EQ(FirstPiece(item).range, " -ss 10.000000 -endpos 15.500000 ");
  EXPECT_EQ(FirstPiece(item).output, "/out/by hand.mp4");
  SourceItem mp3 = Split("00:10:00", 1500);
  mp3.outputFormat = "mp3";
  mp3.outputPath = "/out/film.mp3";
  EXPECT_EQ(SplitKindOf(mp3), SplitKind::None);
  EXPECT_EQ(FirstPiece(mp3).output, "/out/film.mp3");
  EXPECT_TRUE(LaterPieces(mp3, 600).empty());
}

TEST(PiecePlan, UntrimmedSplitOfATwentyFiveMinuteFile) {
  SourceItem item = Split("00:10:00", 1500);
  Piece first = FirstPiece(item);
  EXPECT_EQ(first.range, " -ss 0 -endpos 00:10:00 ");
  EXPECT_EQ(first.output, "/out/film_clip_1.mp4");
  auto later = LaterPieces(item, 600);
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].range, " -ss 600.000000 -endpos 00:10:00 ");
  EXPECT_EQ(later[0].output, "/out/film_clip_2.mp4");
  EXPECT_EQ(later[1].range, " -ss 1200.000000 -endpos 00:10:00 ");
  EXPECT_EQ(later[1].output, "/out/film_clip_3.mp4");
  // An exact multiple leaves no empty piece at the end.
  EXPECT_EQ(LaterPieces(Split("00:10:00", 1200), 600).size(), 1u);
  EXPECT_TRUE(LaterPieces(item, 0).empty());
  EXPECT_TRUE(LaterPieces(item, std::numeric_limits<double>::quiet_NaN()).empty());

  // A clip start kept with the clip off loses nothing between the pieces.
  item.clipStartSeconds = 30;
  later = LaterPieces(item, 600);
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].range, " -ss 600.000000 -endpos 00:10:00 ");
  EXPECT_EQ(later[1].range, " -ss 1200.000000 -endpos 00:10:00 ");
}

TEST(PiecePlan, TrimmedSplits) {
  SourceItem item = Split("00:10:00", 3600);
  item.clipEnabled = 1;
  item.clipStartSeconds = 60;
  item.clipEndSeconds = 1860;
  EXPECT_EQ(FirstPiece(item).range, " -ss 60.000000 -endpos 00:10:00 ");
  auto later = LaterPieces(item, 600);
  // Pieces at 660 and 1260; the last one at 1860 would be empty and is left out.
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].range, " -ss 660.000000 -endpos 00:10:00 ");
  EXPECT_EQ(later[1].range, " -ss 1260.000000 -endpos 00:10:00 ");
  EXPECT_EQ(later[1].output, "/out/film_clip_3.mp4");

  item.clipEndSeconds = 1900;
  later = LaterPieces(item, 600);
  ASSERT_EQ(later.size(), 3u);
  EXPECT_EQ(later[2].range, " -ss 1860.000000 -endpos 40.000000 ");
  EXPECT_EQ(later[2].output, "/out/film_clip_4.mp4");

  item.splitMode = "700 MB";  // first piece longer than the clip: done
  EXPECT_TRUE(LaterPieces(item, 2000).empty());
}

TEST(Progress, ItemAndListPercentages) {
  SourceItem item = Split("Not split", 200);
  ProgressUpdate u = ComputeProgress(item, 2, 4, 100);
  EXPECT_EQ(u.itemPercent, 50);
  EXPECT_EQ(u.listPercent, 37);
  u = ComputeProgress(item, 1, 4, 1);  // 0 % of the list: bar left alone
  EXPECT_FALSE(u.itemPercent);
  EXPECT_FALSE(u.listPercent);
  item.clipEnabled = 1;
  item.clipStartSeconds = 50;
  item.clipEndSeconds = 150;
  EXPECT_EQ(ComputeProgress(item, 1, 1, 50).itemPercent, 50);
  EXPECT_EQ(ComputeProgress(item, 1, 1, 180).itemPercent, 90);  // past the clip: of the whole
}

TEST(Progress, NothingChangesWithoutAUsablePosition) {
  SourceItem item = Split("Not split", 200);
  for (double p : {-1.0, 0.0, 250.0, std::numeric_limits<double>::quiet_NaN()}) {
    ProgressUpdate u = ComputeProgress(item, 1, 2, p);
    EXPECT_FALSE(u.itemPercent) << p;
    EXPECT_FALSE(u.listPercent) << p;
  }
  SourceItem empty = Split("Not split", 0);
  EXPECT_FALSE(ComputeProgress(empty, 1, 1, 5).itemPercent);
  EXPECT_FALSE(ComputeProgress(item, 0, 2, 5).itemPercent);
  EXPECT_FALSE(ComputeProgress(item, 3, 2, 5).itemPercent);
  EXPECT_FALSE(ComputeProgress(item, 1, 0, 5).itemPercent);
}

}  // namespace
}  // namespace orv
