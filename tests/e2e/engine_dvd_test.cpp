// DVD titles end to end: the real engine identifies, encodes and plays the
// disc that make_dvd.sh authors, reached through drive letters of the
// settings file, with the command lines exactly as the GUI builds them.
#include <algorithm>
#include <cctype>

#include "core/settings/source_item.h"
#include "core/convert/encode_command.h"
#include "core/preview/preview_player.h"
#include "core/settings/option_tables.h"
#include "tests/e2e/x11_harness.h"

namespace {

using namespace orv_engine_test;

// The disc (see make_dvd.sh): title 1 6 s 4:3 with a subtitle, title 2 9 s
// 16:9; audio 128 = AC-3 440 Hz 'en', 0 = MPEG audio 1000 Hz 'de'.
constexpr double kTitleSeconds[] = {6.0, 9.0};

// Sets the PES scrambling bits of every audio and video packet, as a
// CSS-encrypted disc has them (the data itself is not needed to tell).
void MarkScrambled(const fs::path& vob) {
  std::fstream file(vob, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<unsigned char> sector(2048);
  for (std::streamoff at = 0;; at += 2048) {
    file.seekg(at);
    if (!file.read(reinterpret_cast<char*>(sector.data()), 2048)) break;
    const size_t pes = 14 + (sector[13] & 7);
    const unsigned char id = sector[pes + 3];
    if (sector[3] != 0xba || !(id == 0xbd || (id >= 0xc0 && id <= 0xef))) continue;
    sector[pes + 6] |= 0x10;
    file.seekp(at);
    file.write(reinterpret_cast<const char*>(sector.data()), 2048);
  }
}

// Drive letters as a user would set them up; written once per test program.
void UseDrives() {
  static bool done = false;
  if (done) return;
  done = true;
  const fs::path ini = g_media / "orvantic.ini";
  std::ofstream(ini) << "[DRIVES]\n"
                     << "E=" << media("disc.iso") << "\n"
                     << "F=" << media("disc") << "\n"
                     << "G=" << media("nothere.iso") << "\n"
                     << "H=" << media("data.iso") << "\n"
                     << "I=" << media("garbage.iso") << "\n"
                     << "J=" << media("scratched") << "\n"
                     << "K=" << media("encrypted") << "\n";
  setenv("ORVANTIC_SETTINGS_FILE", ini.c_str(), 1);
  // A copy of the disc whose second title breaks off after 64 sectors.
  fs::copy(media("disc"), media("scratched"), fs::copy_options::recursive);
  fs::resize_file(g_media / "scratched/VIDEO_TS/VTS_02_1.VOB", 64 * 2048);
  fs::copy(media("disc"), media("encrypted"), fs::copy_options::recursive);
  MarkScrambled(g_media / "encrypted/VIDEO_TS/VTS_01_1.VOB");
}

orv::SourceItem DvdItem(char drive, int title, int first, int last, int aid, int sid) {
  orv::SourceItem item;
  orv::ApplyNewItemDefaults(0, item);
  item.sourcePath = std::string("DVD_DRIVE_") + drive;
  item.isDvdTitle = 1;
  item.dvdTitle = title;
  item.dvdFirstChapter = first;
  item.dvdLastChapter = last;
  item.dvdAudioStreamId = aid;
  item.dvdSubtitleId = sid;
  item.videoWidth = 720;
  item.videoHeight = 576;
  return item;
}

struct Rgb8 {
  int r = -1, g = -1, b = -1;
};

Rgb8 PixelAt(const fs::path& file, double seconds, int x, int y) {
  const std::string raw =
      capture("ffmpeg -nostdin -v error -ss " + std::to_string(seconds) + " -i '" + file.string() +
              "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  const size_t at = (static_cast<size_t>(y) * 320 + x) * 3;
  if (raw.size() < at + 3) return {};
  return {static_cast<unsigned char>(raw[at]), static_cast<unsigned char>(raw[at + 1]),
          static_cast<unsigned char>(raw[at + 2])};
}

bool Close(const Rgb8& c, int r, int g, int b, int tolerance = 40) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
         std::abs(c.b - b) <= tolerance;
}

std::string Show(const Rgb8& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

class DvdTest : public EngineTest {
 protected:
  void SetUp() override {
    UseDrives();
    EngineTest::SetUp();
  }

  // A GUI line starts with the engine's own path; ours replaces it.
  int runGuiLine(const std::string& line, std::chrono::seconds limit = 60s) {
    std::vector<std::string> args = splitCommand(line);
    args.erase(args.begin());
    Engine e = start(args, dir_);
    const int rc = e.wait(limit);
    lastError_ = e.stderrText();
    return rc;
  }

  // range: "" for the whole item, else a trim as the batch run writes it.
  int encodeItem(const orv::SourceItem& item, const fs::path& out, const std::string& range = "") {
    orv::Installation installation;
    installation.programFolder = dir_.string() + "/";
    installation.engineFolder = fs::path(ORV_ENGINE_PATH).parent_path().string();
    return runGuiLine(orv::BuildEncodeCommand(item, *orv::ParseItemValues(item), installation) +
                      orv::PieceTail(range, out.string(), folderArg()));
  }

  // The DVD dialog's identification: " dvd://N -dvd-device D " unquoted.
  int identifyDvd(int title, const std::string& root) {
    writeCommand(dir_, orv::EngineCommand::Stop);
    return runLine(" dvd://" + std::to_string(title) + " -dvd-device " + root +
                   "  -vo null -nosound -identify" + folderArg());
  }

  std::string name(int i) const { return std::string(info_.audioStreamNames[i]); }
  std::string language(int i) const { return std::string(info_.audioStreamLanguages[i]); }

  orv::MediaInfo info_;
};

TEST_F(DvdTest, IdentifiesTitlesChaptersAndStreamsOnImageAndFolderDrives) {
  for (const char* root : {"E:\\", "F:\\"}) {
    SCOPED_TRACE(root);
    ASSERT_EQ(identifyDvd(1, root), 0) << lastError_;
    info_ = readInfo(dir_);
    EXPECT_NEAR(info_.durationSeconds, kTitleSeconds[0], 0.1);
    EXPECT_EQ(info_.videoWidth, 720);
    EXPECT_EQ(info_.videoHeight, 576);
    EXPECT_EQ(info_.titleCount, 2);
    EXPECT_EQ(info_.chapterCounts[0], 3);
    EXPECT_EQ(info_.chapterCounts[1], 3);
    EXPECT_EQ(info_.chapterCounts[2], 0);
    EXPECT_EQ(info_.audioStreamIds[0], 128);
    EXPECT_EQ(name(0) + "(" + language(0) + ")", "ac3(en)");
    EXPECT_EQ(info_.audioStreamIds[1], 0);
    EXPECT_EQ(name(1) + "(" + language(1) + ")", "mpeg1(de)");
    EXPECT_LT(info_.audioStreamIds[2], 0);
    EXPECT_EQ(info_.subtitleIds[0], 0);
    EXPECT_EQ(std::string(info_.subtitleNames[0]), "en");
    EXPECT_LT(info_.subtitleIds[1], 0);
  }
  ASSERT_EQ(identifyDvd(2, "E:\\"), 0) << lastError_;
  info_ = readInfo(dir_);
  EXPECT_NEAR(info_.durationSeconds, kTitleSeconds[1], 0.1);
  EXPECT_EQ(info_.audioStreamIds[0], 128);
  EXPECT_EQ(info_.audioStreamIds[1], 0);
  EXPECT_LT(info_.subtitleIds[0], 0) << "title 2 has no subtitle";
}

TEST_F(DvdTest, FindsTheSettingsFileBesideTheEngineByDefault) {
  const fs::path engine = dir_ / "bin/orvantic-engine";
  fs::create_directories(engine.parent_path());
  fs::copy_file(ORV_ENGINE_PATH, engine);
  std::ofstream(dir_ / "bin/orvantic.ini") << "[DRIVES]\nK=" << media("disc") << "\n";
  const std::string saved = getenv("ORVANTIC_SETTINGS_FILE");
  unsetenv("ORVANTIC_SETTINGS_FILE");
  writeCommand(dir_, orv::EngineCommand::Stop);
  std::vector<std::string> args{engine.string(), "dvd://2",        "-dvd-device",      "K:\\",
                                "-identify",     "-currentfolder", dir_.string() + "/"};
  Engine e{spawnQuiet(args, (dir_ / "err").string()), dir_ / "err"};
  const int rc = e.wait();
  setenv("ORVANTIC_SETTINGS_FILE", saved.c_str(), 1);
  ASSERT_EQ(rc, 0) << e.stderrText();
  EXPECT_NEAR(readInfo(dir_).durationSeconds, kTitleSeconds[1], 0.1);
}

TEST_F(DvdTest, ChapterRangeGivesItsOwnLength) {
  // Title 2's chapters start at 0, 2 and 6 s of its 9 s.
  const struct {
    int first, last;
    double seconds;
  } ranges[] = {{2, 3, 7.0}, {3, 3, 3.0}, {1, 1, 2.0}};
  for (const auto& r : ranges) {
    SCOPED_TRACE(std::to_string(r.first) + "-" + std::to_string(r.last));
    const fs::path out = dir_ / "range.mp4";
    ASSERT_EQ(encodeItem(DvdItem('e', 2, r.first, r.last, -1, -1), out), 0) << lastError_;
    auto p = probe(out);
    EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "mpeg4");
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), r.seconds, 0.5);
    EXPECT_NEAR(num(p, "streams.stream.1.duration"), r.seconds, 0.5);
    EXPECT_TRUE(decodesCleanly(out));
    EXPECT_EQ(lastError_, "") << "a clean disc gives no warnings";
  }
}

TEST_F(DvdTest, AudioIdChoosesTheTrackByItsTone) {
  const struct {
    int aid;
    double hz;
  } choices[] = {{128, 440}, {0, 1000}, {-1, 440}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.aid);
    const fs::path out = dir_ / "audio.mp4";
    ASSERT_EQ(encodeItem(DvdItem('f', 1, 2, 2, c.aid, -1), out), 0) << lastError_;
    const auto samples = pcm(out);
    EXPECT_NEAR(toneHz(samples, 2, 0, 44100), c.hz, c.hz * 0.03);
  }
}

TEST_F(DvdTest, SubtitleIsBurntInWithTheDiscsColoursOnlyWhileItShows) {
  // The red box at x 200-519, y 440-519 of 720x576 shows from 1 s to 5 s;
  // scaled to 320x240 its middle is at (160, 200). The picture is 0x405070.
  const fs::path with = dir_ / "with.mp4", without = dir_ / "without.mp4";
  ASSERT_EQ(encodeItem(DvdItem('e', 1, 1, 3, 128, 0), with), 0) << lastError_;
  ASSERT_EQ(encodeItem(DvdItem('e', 1, 1, 3, 128, -1), without), 0) << lastError_;
  Rgb8 box = PixelAt(with, 3.0, 160, 200);
  EXPECT_TRUE(Close(box, 255, 0, 0, 60)) << "subtitle shows " << Show(box);
  const Rgb8 above = PixelAt(with, 3.0, 160, 150);
  EXPECT_TRUE(Close(above, 0x40, 0x50, 0x70)) << Show(above);
  const Rgb8 before = PixelAt(with, 0.5, 160, 200), after = PixelAt(with, 5.5, 160, 200);
  EXPECT_TRUE(Close(before, 0x40, 0x50, 0x70)) << "before it starts: " << Show(before);
  EXPECT_TRUE(Close(after, 0x40, 0x50, 0x70)) << "after it ends: " << Show(after);
  const Rgb8 clean = PixelAt(without, 3.0, 160, 200);
  EXPECT_TRUE(Close(clean, 0x40, 0x50, 0x70)) << "without -sid: " << Show(clean);

  // Starting after the subpicture began, by chapter or by a trim, it shows
  // from the first picture.
  const fs::path chapter = dir_ / "chapter.mp4", trimmed = dir_ / "trimmed.mp4";
  ASSERT_EQ(encodeItem(DvdItem('e', 1, 2, 2, 128, 0), chapter), 0) << lastError_;
  box = PixelAt(chapter, 0.0, 160, 200);
  EXPECT_TRUE(Close(box, 255, 0, 0, 60)) << "chapter 2: " << Show(box);
  ASSERT_EQ(encodeItem(DvdItem('e', 1, 1, 3, 128, 0), trimmed, orv::RangeSeconds(2.5, 1.5)), 0)
      << lastError_;
  box = PixelAt(trimmed, 0.0, 160, 200);
  EXPECT_TRUE(Close(box, 255, 0, 0, 60)) << "from 2.5 s: " << Show(box);
  EXPECT_NEAR(num(probe(trimmed), "format.duration"), 1.5, 0.1);
}

TEST_F(DvdTest, WideTitleIsLetterboxedNotSqueezed) {
  const fs::path out = dir_ / "wide.mp4";
  ASSERT_EQ(encodeItem(DvdItem('e', 2, 1, 1, -1, -1), out), 0) << lastError_;
  auto p = probe(out);
  EXPECT_EQ(num(p, "streams.stream.0.width"), 320);
  EXPECT_EQ(num(p, "streams.stream.0.height"), 240);
  // 320x180 of white between two bars of 30 rows.
  for (int y : {5, 25, 215, 235})
    EXPECT_TRUE(Close(PixelAt(out, 1.0, 160, y), 0, 0, 0, 20)) << "row " << y;
  for (int y : {35, 120, 205})
    EXPECT_TRUE(Close(PixelAt(out, 1.0, 160, y), 255, 255, 255, 20)) << "row " << y;
}

TEST_F(DvdTest, BadDiscsAndChoicesEndAtOnceWithOneLineAndNoOutput) {
  const struct {
    orv::SourceItem item;
    const char* reason;
    bool identifies;  // the disc itself is readable
  } cases[] = {
      {DvdItem('h', 1, 1, 3, -1, -1), "not a DVD-Video disc", false},
      {DvdItem('i', 1, 1, 3, -1, -1), "not a DVD-Video disc", false},
      {DvdItem('g', 1, 1, 3, -1, -1), "does not exist", false},
      {DvdItem('z', 1, 1, 3, -1, -1), "no DVD drive Z:", false},
      {DvdItem('e', 3, 1, 3, -1, -1), "title 3 does not exist", false},
      {DvdItem('e', 1, 1, 3, 131, -1), "no audio stream 131", true},
      {DvdItem('e', 2, 2, 4, -1, -1), "chapters 2-4 do not exist", true},
      {DvdItem('e', 2, 1, 3, -1, 0), "no subtitle 0", true},
      {DvdItem('j', 2, 1, 3, -1, -1), "cannot read title 2", true},
      {DvdItem('k', 1, 1, 3, -1, -1), "is encrypted", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const fs::path out = dir_ / "bad.mp4";
    EXPECT_NE(encodeItem(c.item, out), 0);
    EXPECT_NE(lastError_.find(c.reason), std::string::npos) << lastError_;
    EXPECT_EQ(std::count(lastError_.begin(), lastError_.end(), '\n'), 1) << lastError_;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(noTempFiles());

    const std::string root =
        std::string(1, static_cast<char>(std::toupper(c.item.sourcePath.back()))) + ":\\";
    const int rc = identifyDvd(c.item.dvdTitle, root);
    info_ = readInfo(dir_);
    if (c.identifies) continue;
    EXPECT_NE(rc, 0);
    EXPECT_EQ(info_.durationSeconds, 0.0);
    EXPECT_LT(info_.audioStreamIds[0], 0);
  }
}

class DvdPlayTest : public DvdTest {
 protected:
  void SetUp() override {
    if (g_display.empty()) GTEST_SKIP() << "no Xvfb here";
    DvdTest::SetUp();
    writeCommand(dir_, orv::EngineCommand::Run);
  }
  void TearDown() override {
    if (engine_.pid > 0) {
      kill(engine_.pid, SIGKILL);
      waitpid(engine_.pid, nullptr, 0);
    }
    if (!g_display.empty()) DvdTest::TearDown();
  }
  Engine engine_;
};

TEST_F(DvdPlayTest, PlaysAChapterWithItsSubtitleIntoTheWindowAndEndsByItself) {
  Panel panel(320, 240);
  // Chapter 2 of title 1 (2 s to 4 s), while the subtitle shows.
  const orv::SourceItem item = DvdItem('E', 1, 2, 2, 0, 0);
  const std::string line = orv::BuildPlayCommand(item, *orv::ParseItemValues(item), 0.0, 2.0,
                                                 panel.id(), ORV_ENGINE_PATH, dir_.string() + "/");
  std::vector<std::string> args = splitCommand(line);
  args.erase(args.begin());
  engine_ = start(args, dir_);
  ASSERT_TRUE(waitUntil(
      [&] {
        return near(panel.pixel(160, 60), {0x40, 0x50, 0x70});
      },
      3000ms))
      << "picture shows " << show(panel.pixel(160, 60)) << "; " << readText(engine_.errFile);
  EXPECT_TRUE(waitUntil(
      [&] {
        return near(panel.pixel(160, 200), {255, 0, 0}, 60);
      },
      1000ms))
      << "subtitle shows " << show(panel.pixel(160, 200));
  int status = -1;
  ASSERT_TRUE(waitUntil([&] { return exited(engine_, status); }, 4000ms))
      << "did not end by itself";
  EXPECT_EQ(status, 0) << readText(engine_.errFile);
  EXPECT_NEAR(readPosition(dir_), 2.0, 0.15);
}

}  // namespace
