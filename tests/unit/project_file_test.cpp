// Project files: the record's exact layout, round trips, damaged files; and
// the texts of the video information dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include <cstring>

#include "core/preview/video_info.h"
#include "core/settings/project_file.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

// Every field set, none to its default.
std::unique_ptr<SourceItem> FullItem(const std::string& source) {
  auto item = std::make_unique<SourceItem>();
  item->videoDisabled = "no";
  item->videoBitrate = "1500";
  item->videoFrameRate = "29.97";
  item->videoSize = "480x360";
  item->videoCodec = "h264";
  item->audioDisabled = "no";
  item->audioVolume = "-10";
  item->audioChannel = "left mono";
  item->audioBitrate = "96";
  item->audioSampleRate = "22050";
  item->audioCodec = "AAC";
  item->clipEnabled = 1;
  item->clipEndSeconds = 42.25;
  item->clipStartSeconds = 1.5;
  item->clipStartText = "00:00:01.50";
  item->clipEndText = "00:00:42.25";
  item->outputFormat = "mp4";
  item->splitMode = "00:10:00";
  item->sourcePath = source;
  item->outputPath = "/out/Sommerfest über Köln.mp4";
  item->duration = 3725.5;
  item->spare = 7;
  item->videoWidth = 720;
  item->videoHeight = 576;
  item->isDvdTitle = 1;
  item->dvdAudioChannel = 2;
  item->dvdAudioStreamId = 129;
  item->dvdSubtitleId = -1;
  item->dvdLastChapter = 5;
  item->dvdFirstChapter = 2;
  item->dvdTitle = 3;
  item->profileIndex = 4;
  item->quantizerMin = "4";
  item->quantizerMax = "30";
  return item;
}

void ExpectSameItem(const SourceItem& a, const SourceItem& b) {
  const ConversionSettings& x = a;
  const ConversionSettings& y = b;
  ArchiveWriter wa, wb;
  WriteItemRecord(wa, a);
  WriteItemRecord(wb, b);
  EXPECT_EQ(wa.bytes(), wb.bytes());
  EXPECT_EQ(x.clipStartSeconds, y.clipStartSeconds);
  EXPECT_EQ(a.sourcePath, b.sourcePath);
  EXPECT_EQ(a.dvdSubtitleId, b.dvdSubtitleId);
}

// A stored settings text with an engine option slipped in (or no value at
// all) leaves its item out, named; the other items open.
TEST(ProjectFile, ItemsWhoseTextsAreNoValuesAreLeftOutAndNamed) {
  const std::pair<const char*, std::string SourceItem::*> fields[] = {
      {"Video bitrate", &SourceItem::videoBitrate},   {"Video frame rate", &SourceItem::videoFrameRate},
      {"Video size", &SourceItem::videoSize},         {"Video codec", &SourceItem::videoCodec},
      {"Audio volume", &SourceItem::audioVolume},     {"Audio channel", &SourceItem::audioChannel},
      {"Audio bitrate", &SourceItem::audioBitrate},   {"Audio sample", &SourceItem::audioSampleRate},
      {"Audio codec", &SourceItem::audioCodec},       {"quantizer min", &SourceItem::quantizerMin},
      {"quantizer max", &SourceItem::quantizerMax},   {"Output format", &SourceItem::outputFormat},
      {"Split", &SourceItem::splitMode},
  };
  ItemList items;
  items.push_back(FullItem("/v/good.avi"));
  for (const auto& [caption, field] : fields) {
    items.push_back(FullItem("/v/bad.avi"));
    (*items.back()).*field += " -endpos 1 -o /tmp/x.mp4";
  }
  items.push_back(FullItem("-o"));  // a source that would be read as an option
  items.push_back(FullItem("/v/nan.avi"));
  items.back()->clipStartSeconds = std::nan("");
  ProjectContents contents;
  ASSERT_EQ(ParseProject(ProjectBytes(items), "p.vpt", &contents), ProjectLoad::Ok);
  ASSERT_EQ(contents.items.size(), 1u);
  EXPECT_EQ(contents.items[0]->sourcePath, "/v/good.avi");
  ASSERT_EQ(contents.leftOut.size(), std::size(fields) + 2);
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    const std::string value = (*items[i + 1]).*fields[i].second;
    EXPECT_EQ(contents.leftOut[i].rfind("item " + std::to_string(i + 2) + ": " + fields[i].first +
                                            " '" + value + "' ",
                                        0),
              0u)
        << contents.leftOut[i];
  }
  EXPECT_EQ(contents.leftOut[std::size(fields)],
            "item 15: Source '-o' is neither a full path nor a DVD drive");
  EXPECT_EQ(contents.leftOut.back(),
            "item 16: Start time 'nan' is not a time from the start of the source");
}

TEST(ProjectFile, EmptyListIsFourZeroBytes) {
  EXPECT_EQ(ProjectBytes({}), std::string(4, '\0'));
  ProjectContents contents;
  EXPECT_EQ(ParseProject(std::string(4, '\0'), "e.vpt", &contents), ProjectLoad::Ok);
  EXPECT_TRUE(contents.items.empty());
}

TEST(ProjectFile, RecordInItsStoredOrder) {
  // The record laid down field by field, quantizers last.
  std::string expected("\x01\0\0\0", 4);
  auto str = [&](const std::string& s) { expected += static_cast<char>(s.size()) + s; };
  auto i32 = [&](int32_t v) {
    for (int k = 0; k < 4; ++k) expected += static_cast<char>((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF);
  };
  auto dbl = [&](double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int k = 0; k < 8; ++k) expected += static_cast<char>((u >> (8 * k)) & 0xFF);
  };
  for (const char* s : {"no", "1500", "29.97", "480x360", "h264", "no", "-10", "left mono", "96",
                        "22050", "AAC"})
    str(s);
  i32(1);
  dbl(42.25);
  dbl(1.5);
  for (const char* s : {"00:00:01.50", "00:00:42.25", "mp4", "00:10:00", "/v/a.avi",
                        "/out/Sommerfest über Köln.mp4"})
    str(s);
  dbl(3725.5);
  for (int32_t v : {7, 720, 576, 1, 2, 129, -1, 5, 2, 3, 4}) i32(v);
  str("4");
  str("30");
  ItemList items;
  items.push_back(FullItem("/v/a.avi"));
  EXPECT_EQ(ProjectBytes(items), expected);
}

TEST(ProjectFile, EveryFieldComesBack) {
  ItemList items;
  items.push_back(FullItem("/v/Überraschung \"quoted\" -o x.avi"));
  items.push_back(FullItem("/" + std::string(299, 'a')));
  items.push_back(FullItem("/v/" + std::string(70000, 'b')));
  items.back()->clipEndText = std::string(65534, 's');
  items.back()->profileIndex = 4;
  ProjectContents contents;
  ASSERT_EQ(ParseProject(ProjectBytes(items), "p.vpt", &contents), ProjectLoad::Ok);
  ASSERT_EQ(contents.items.size(), 3u);
  EXPECT_EQ(contents.storedCount, 3);
  for (std::size_t i = 0; i < 3; ++i) ExpectSameItem(*contents.items[i], *items[i]);
  EXPECT_EQ(contents.items[2]->profileIndex, 4);
  EXPECT_EQ(contents.items[2]->clipEndText.size(), 65534u);

  test::TempDir dir;
  ASSERT_TRUE(SaveProjectFile(dir / "p.vpt", items));
  ASSERT_EQ(LoadProjectFile(dir / "p.vpt", &contents), ProjectLoad::Ok);
  EXPECT_EQ(contents.items.size(), 3u);
  EXPECT_EQ(LoadProjectFile(dir / "none.vpt", &contents), ProjectLoad::OpenFailed);
  EXPECT_FALSE(SaveProjectFile(dir / "no/dir/p.vpt", items));
}

TEST(ProjectFile, DamagedFilesKeepTheItemsBeforeTheDamage) {
  ItemList two;
  two.push_back(FullItem("/v/a.avi"));
  two.push_back(FullItem("/v/b.avi"));
  const std::string good = ProjectBytes(two);
  ProjectContents contents;

  // Cut inside the second record's double, and a count of two billion.
  const std::size_t first = (good.size() - 4) / 2 + 4;
  EXPECT_EQ(ParseProject(good.substr(0, first + 60), "/p/cut.vpt", &contents), ProjectLoad::Damaged);
  EXPECT_EQ(contents.items.size(), 1u);
  EXPECT_EQ(contents.error,
            "An attempt was made to access /p/cut.vpt past its end. 1 of the 2 items it lists "
            "were read.");
  std::string huge = good;
  huge.replace(0, 4, std::string("\x00\x94\x35\x77", 4));  // 2,000,000,000
  EXPECT_EQ(ParseProject(huge, "h.vpt", &contents), ProjectLoad::Damaged);
  EXPECT_EQ(contents.items.size(), 2u);
  EXPECT_NE(contents.error.find("2 of the 2000000000 items"), std::string::npos) << contents.error;

  std::string negative = good;
  negative.replace(0, 4, std::string("\xFF\xFF\xFF\xFF", 4));
  EXPECT_EQ(ParseProject(negative, "n.vpt", &contents), ProjectLoad::Damaged);
  EXPECT_TRUE(contents.items.empty());
  EXPECT_NE(contents.error.find("-1 items"), std::string::npos);

  // A string length far past the end, and three bytes.
  std::string longString = good;
  longString.replace(4, 1, std::string("\xFF\xFF\xFF\x00\x00\x00\x7F", 7));
  EXPECT_EQ(ParseProject(longString, "l.vpt", &contents), ProjectLoad::Damaged);
  EXPECT_TRUE(contents.items.empty());
  EXPECT_EQ(ParseProject(good.substr(0, 3), "3.vpt", &contents), ProjectLoad::Damaged);
  EXPECT_EQ(contents.error, "An attempt was made to access 3.vpt past its end.");
}

TEST(VideoInfo, RowsWithAndWithoutAClip) {
  SourceItem item;
  item.sourcePath = "/home/u/film.final.avi";
  item.outputPath = "/out/film.final.mp4";
  item.outputFormat = "mp4";
  item.duration = 3725.5;
  std::vector<VideoInfoRow> rows = VideoInfoRows(item);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0].text, "Source file name: film.final.avi");
  EXPECT_EQ(rows[1].text, "Source file format: avi");  // after the last point only
  EXPECT_EQ(rows[2].text, "Source file path: /home/u/film.final.avi");
  EXPECT_EQ(rows[3].text, "Destination: film.final.mp4");
  EXPECT_EQ(rows[6].top, 180);
  EXPECT_EQ(rows[6].text, "Duration: 01:02:05.50");
  EXPECT_EQ(rows[7].text, "Clip Source file: no");

  item.clipEnabled = 1;
  item.clipStartSeconds = 10;
  item.clipEndSeconds = 75.25;
  item.clipStartText = "00:00:10.00";
  item.clipEndText = "00:01:15.25";
  rows = VideoInfoRows(item);
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[8].top, 240);
  EXPECT_EQ(rows[8].text, "Clip duration: 00:01:05.25");
  EXPECT_EQ(rows[10].text, "End time: 00:01:15.25");

  SourceItem dvd;
  dvd.sourcePath = "DVD_DRIVE_E";
  rows = VideoInfoRows(dvd);
  for (int i = 0; i < 3; ++i) EXPECT_NE(rows[static_cast<std::size_t>(i)].text.find(": DVD_DRIVE_E"), std::string::npos);
}

}  // namespace
}  // namespace orv
