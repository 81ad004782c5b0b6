#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/settings/source_list.h"
#include "platform/files.h"
#include "platform/installation.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

std::unique_ptr<SourceItem> Item(const std::string& source, const std::string& output) {
  auto item = std::make_unique<SourceItem>();
  item->sourcePath = source;
  item->outputPath = output;
  item->outputFormat = "mp4";
  return item;
}

TEST(OutputNaming, RepeatedNamesGetSuffixesInOnePass) {
  ItemList items;
  items.push_back(Item("/in/a.mp4", "/out/a.mp4"));
  EXPECT_EQ(*PlanOutputPath(items, "/in/a.avi", "/out", "mp4"), "/out/a_1.mp4");
  items.push_back(Item("/in/a.avi", "/out/a_1.mp4"));
  EXPECT_EQ(*PlanOutputPath(items, "/in/a.mov", "/out/", "mp4"), "/out/a_1_1.mp4");
  // Items in the other order: the pass repeats until no item has the name
  // (one pass gave a_1.mp4, the first item's output).
  ItemList reversed;
  reversed.push_back(Item("/in/x.avi", "/out/a_1.mp4"));
  reversed.push_back(Item("/in/y.avi", "/out/a.mp4"));
  EXPECT_EQ(*PlanOutputPath(reversed, "/in/a.mov", "/out", "mp4"), "/out/a_1_1.mp4");
}

TEST(OutputNaming, DuplicatesNoDotAndFolderForms) {
  ItemList items;
  items.push_back(Item("/in/a.avi", "/out/a.mp4"));
  EXPECT_FALSE(PlanOutputPath(items, "/in/a.avi", "/out", "mp4"));
  EXPECT_TRUE(PlanOutputPath(items, "/in/A.avi", "/out", "mp4"));  // case-sensitive
  EXPECT_EQ(*PlanOutputPath({}, "/in/clip", "/out", "mp4"), "/out/.mp4");
  EXPECT_EQ(*PlanOutputPath({}, "/in/name.avi", "/d/out/", "mp3"), "/d/out/name.mp3");
  EXPECT_EQ(*PlanOutputPath({}, "/in/name.avi", "/d/out", "mp3"), "/d/out/name.mp3");
  EXPECT_EQ(*PlanOutputPath({}, "/in/my.film.avi", "/o", "mp4"), "/o/my.film.mp4");
}

// A source is a taken name, compared as a file whatever spelling names its
// folder: the output never replaces the film it is made from.
TEST(OutputNaming, SourcesAreTakenWhateverTheSpelling) {
  test::TempDir videos, other;
  test::WriteText(videos / "holiday.mp4", "film");
  std::filesystem::create_directory_symlink(videos.path(), other / "link");
  const std::string source = videos / "holiday.mp4";
  const std::string up =
      "../" + std::filesystem::path(videos.path()).parent_path().filename().string() + "/";
  for (const std::string& folder : {videos.path(), videos / ".", other / "link", videos / up})
    EXPECT_EQ(*PlanOutputPath({}, source, folder, "mp4"), JoinPath(folder, "holiday_1.mp4"))
        << folder;
  // Another item's source: the new item named after it moves aside.
  ItemList items;
  items.push_back(Item(videos / "a.mp4", other / "a.mp4"));
  test::WriteText(videos / "a.mp4", "film");
  EXPECT_EQ(*PlanOutputPath(items, "/in/a.avi", videos.path(), "mp4"), videos / "a_1.mp4");
  // A hard link to the source is the source.
  ASSERT_EQ(::link(source.c_str(), (other / "same.mp4").c_str()), 0);
  EXPECT_TRUE(SameFile(source, other / "same.mp4"));
  EXPECT_TRUE(OutputNameTaken({}, other / "same.mp4", source));
  EXPECT_FALSE(SameFile(source, other / "absent.mp4"));
  EXPECT_TRUE(SameFile(other / "x/../absent.mp4", other / "absent.mp4"));
}

TEST(OutputNaming, SetOutputFileNameRule) {
  const std::string out = "/out/dir/orig.mp4";
  EXPECT_EQ(RenamedOutputPath(out, "movie.mp4", "mp4"), "/out/dir/movie.mp4");
  EXPECT_EQ(RenamedOutputPath(out, "movie", "mp4"), "/out/dir/movie.mp4");
  EXPECT_EQ(RenamedOutputPath(out, "abc", "mp4"), "/out/dir/abc.mp4");
  EXPECT_EQ(RenamedOutputPath(out, ".mp4", "mp4"), "/out/dir/.mp4.mp4");  // 4 characters only
  EXPECT_EQ(RenamedOutputPath(out, "movie.MP4", "mp4"), "/out/dir/movie.MP4.mp4");
}

TEST(OutputNaming, RebaseKeepsEveryFileName) {
  ItemList items;
  items.push_back(Item("/in/a.avi", "/old/a.mp4"));
  items.push_back(Item("/in/b.avi", "/old/by hand.mp4"));
  RebaseOutputPaths(items, "/new/");
  EXPECT_EQ(items[0]->outputPath, "/new/a.mp4");
  EXPECT_EQ(items[1]->outputPath, "/new/by hand.mp4");
  RebaseOutputPaths(items, "/other");
  EXPECT_EQ(items[1]->outputPath, "/other/by hand.mp4");
}

TEST(AddFiles, IdentifiedFilesGetTheProfileAndTheDuration) {
  test::TempDir dir;
  test::ScriptedShell shell;
  EngineLink link(test::InstallEngine(dir.path(), ORV_FAKE_ENGINE), shell);
  test::WriteText(dir / "fake.cfg", "duration=3725.5\nwidth=720\nheight=576\n");
  ItemList items;
  AddContext ctx{"/out", 2, "mp4", nullptr};
  ASSERT_EQ(AddFile(items, "/in/film.avi", ctx, link), AddResult::Added);
  ASSERT_EQ(AddFile(items, "/in/film.avi", ctx, link), AddResult::AlreadyListed);
  ASSERT_EQ(items.size(), 1u);
  const SourceItem& it = *items[0];
  EXPECT_EQ(it.outputPath, "/out/film.mp4");
  EXPECT_EQ(it.clipEndText, "01:02:05.50");
  EXPECT_EQ(it.clipStartText, "00:00:00.00");
  EXPECT_EQ(it.clipEndSeconds, 3725.5);
  EXPECT_EQ(it.videoWidth, 720);
  EXPECT_EQ(it.videoCodec, "h264");
  EXPECT_EQ(it.profileIndex, 2);
  EXPECT_EQ(it.isDvdTitle, 0);

  test::WriteText(dir / "fake.cfg", "duration=0\n");
  EXPECT_EQ(AddFile(items, "/in/broken.avi", ctx, link), AddResult::NotIdentified);
  EXPECT_EQ(items.size(), 1u);
}

TEST(AddFiles, CustomizedProfileCopiesTheGridRows) {
  ConversionSettings grid = TextsOfRows(BuildGridRows());
  grid.outputFormat = "mp3";
  grid.audioBitrate = "320";
  MediaInfo info;
  info.durationSeconds = 10;
  SourceItem item;
  InitFileItem(item, AddContext{"/o", kCustomizedProfile, "mp3", &grid}, info);
  EXPECT_EQ(item.outputFormat, "mp3");
  EXPECT_EQ(item.audioBitrate, "320");
  EXPECT_EQ(item.quantizerMin, "20");
  EXPECT_EQ(item.audioCodec, "AAC");
  EXPECT_EQ(item.profileIndex, kCustomizedProfile);
}

}  // namespace
}  // namespace orv
