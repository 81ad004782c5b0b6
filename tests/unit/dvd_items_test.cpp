// The DVD Settings dialog's lists and result, and DVD titles as list items.
#include <gtest/gtest.h>

#include <cstring>

#include "core/dvd/dvd_choice.h"
#include "core/dvd/dvd_items.h"
#include "core/settings/option_tables.h"

namespace orv {
namespace {

std::unique_ptr<MediaInfo> Disc(int titles, std::vector<int> chapters, int subtitles,
                                std::vector<int> audioIds) {
  auto info = std::make_unique<MediaInfo>();
  info->durationSeconds = 7384.9;
  info->videoWidth = 720;
  info->videoHeight = 576;
  info->titleCount = titles;
  for (std::size_t t = 0; t < chapters.size(); ++t) info->chapterCounts[t] = chapters[t];
  for (int i = 0; i < kMaxStreams; ++i) info->audioStreamIds[i] = info->subtitleIds[i] = -1;
  for (int i = 0; i < subtitles; ++i) {
    info->subtitleIds[i] = 32 + i;
    std::snprintf(info->subtitleNames[i], kNameBytes, "%s", i == 1 ? "fr" : "en");
  }
  for (std::size_t i = 0; i < audioIds.size(); ++i) {
    info->audioStreamIds[i] = audioIds[i];
    std::strcpy(info->audioStreamNames[i], "ac3");
    std::strcpy(info->audioStreamLanguages[i], i ? "de" : "en");
  }
  return info;
}

struct Identifier {
  std::vector<std::string> calls;
  const MediaInfo* answer = nullptr;
  DvdChoice::Identify Fn() {
    return [this](const std::string& args) {
      calls.push_back(args);
      return answer;
    };
  }
};

TEST(DvdChoice, OneDriveIsIdentifiedAtOnceSeveralWaitForAChoice) {
  auto disc = Disc(2, {3, 5}, 3, {128, 129});
  Identifier id;
  id.answer = disc.get();
  DvdChoice two({"D:\\", "E:\\"}, id.Fn());
  two.Open();
  EXPECT_TRUE(id.calls.empty());
  EXPECT_EQ(two.drive, -1);
  EXPECT_TRUE(two.titles().empty());
  EXPECT_EQ(two.channel, 0);

  DvdChoice one({"E:\\"}, id.Fn());
  one.Open();
  EXPECT_EQ(id.calls, std::vector<std::string>{" dvd://1 -dvd-device E:\\ "});
  EXPECT_EQ(one.drive, 0);
  EXPECT_EQ(one.titles(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(one.chapters(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(one.lastChapter, 2);
  EXPECT_EQ(one.subtitles(), (std::vector<std::string>{"0:en", "1:fr", "2:en", "none"}));
  EXPECT_EQ(one.audioStreams(), (std::vector<std::string>{"0:ac3(en)", "1:ac3(de)", "none"}));
  one.subtitle = 1;
  one.audio = 1;
  one.channel = 2;
  const DvdResult r = one.Result();
  EXPECT_EQ(r.driveText, "E:\\");
  EXPECT_EQ(r.subtitle, 1);  // the position, not the id
  EXPECT_EQ(r.audioStreamId, 129);
  EXPECT_EQ(r.audioChannel, 2);
  EXPECT_EQ(r.title, 1);
  EXPECT_EQ(r.lastChapter, 3);
  one.subtitle = 3;  // "none"
  one.audio = 2;
  EXPECT_EQ(one.Result().subtitle, -1);
  EXPECT_EQ(one.Result().audioStreamId, -1);
}

TEST(DvdChoice, TitleChangeResetsTheChapterRangeFailuresLeaveTheLists) {
  auto disc = Disc(2, {3, 5}, 0, {});
  Identifier id;
  id.answer = disc.get();
  DvdChoice c({"E:\\"}, id.Fn());
  c.Open();
  EXPECT_EQ(c.audioStreams(), std::vector<std::string>{"none"});
  EXPECT_EQ(c.Result().audioStreamId, -1);
  c.firstChapter = 1;
  c.lastChapter = 1;
  c.ChooseTitle(1);
  EXPECT_EQ(id.calls.back(), " dvd://2 -dvd-device E:\\ ");
  EXPECT_EQ(c.firstChapter, 0);
  EXPECT_EQ(c.lastChapter, 4);
  EXPECT_EQ(c.chapters().size(), 5u);
  EXPECT_EQ(c.Result().title, 2);

  id.answer = nullptr;  // an unreadable title
  c.ChooseTitle(0);
  EXPECT_EQ(c.chapters().size(), 5u);

  DvdChoice empty({"D:\\", "E:\\"}, id.Fn());
  empty.Open();
  empty.ChooseDrive(1);  // no disc
  const DvdResult r = empty.Result();
  EXPECT_EQ(r.driveText, "E:\\");
  EXPECT_EQ(r.title, 0);
  EXPECT_EQ(r.firstChapter, 0);
  EXPECT_EQ(r.lastChapter, 0);
  EXPECT_EQ(r.audioStreamId, -1);
  EXPECT_EQ(r.subtitle, -1);
}

TEST(DvdItems, NamedAfterTheDriveWithAUniqueOutput) {
  EXPECT_EQ(DvdSourceName("E:\\"), "DVD_DRIVE_E");
  EXPECT_EQ(DvdSourceName("e:\\\\"), "DVD_DRIVE_E");
  auto disc = Disc(1, {3}, 0, {128});
  DvdResult choice{"E:\\", 1, 2, 3, 128, -1, 0};
  ItemList items;
  auto file = std::make_unique<SourceItem>();
  file->sourcePath = "/v/DVD_DRIVE_E.avi";
  file->outputPath = "/out/DVD_DRIVE_E.mp4";
  items.push_back(std::move(file));
  auto item = MakeDvdItem(items, choice, {"/out", 0, "mp4", nullptr}, *disc);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->outputPath, "/out/DVD_DRIVE_E_1.mp4");
  EXPECT_EQ(item->sourcePath, "DVD_DRIVE_E");
  EXPECT_EQ(item->isDvdTitle, 1);
  EXPECT_EQ(item->clipStartText, "00:00:00");
  EXPECT_EQ(item->clipEndText, "02:03:04");
  EXPECT_EQ(item->dvdFirstChapter, 2);
  EXPECT_EQ(item->dvdAudioStreamId, 128);
  EXPECT_EQ(item->videoWidth, 720);
  EXPECT_EQ(item->audioCodec, "aac");

  // The MP3 profile; a folder that ends with a separator gets no second one.
  item = MakeDvdItem(items, choice, {"/out/", 3, "mp3", nullptr}, *disc);
  EXPECT_EQ(item->outputPath, "/out/DVD_DRIVE_E.mp3");
  EXPECT_EQ(item->outputFormat, "mp3");
  EXPECT_EQ(item->audioCodec, "mp3");
  EXPECT_EQ(item->profileIndex, 3);

  disc->durationSeconds = 0;  // no readable identification: nothing
  EXPECT_FALSE(MakeDvdItem(items, choice, {"/out", 0, "mp4", nullptr}, *disc));

  items.push_back(std::make_unique<SourceItem>());
  items.back()->sourcePath = "DVD_DRIVE_E";
  EXPECT_EQ(RemoveItemOf(items, "DVD_DRIVE_E"), 1);
  EXPECT_EQ(RemoveItemOf(items, "DVD_DRIVE_E"), -1);
  EXPECT_EQ(items.size(), 1u);
}

}  // namespace
}  // namespace orv
