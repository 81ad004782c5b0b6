#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/ini_file.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "core/settings/app_settings.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "core/settings/time_text.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::TempDir;
using test::WriteText;

TEST(TimeText, TruncatesEachPart) {
  EXPECT_EQ(FormatTime(3725.5), "01:02:05.50");
  EXPECT_EQ(FormatTime(0), "00:00:00.00");
  EXPECT_EQ(FormatTime(59.999), "00:00:59.99");
  EXPECT_EQ(FormatTime(360000), "100:00:00.00");
  EXPECT_EQ(FormatDvdTime(7384.9), "02:03:04");
}

TEST(TimeText, BadValuesGiveZeroAndParsingIsStrict) {
  EXPECT_EQ(FormatTime(-5), "00:00:00.00");
  EXPECT_EQ(FormatTime(std::numeric_limits<double>::quiet_NaN()), "00:00:00.00");
  EXPECT_DOUBLE_EQ(*ParseTime("01:02:05.50"), 3725.5);
  EXPECT_DOUBLE_EQ(*ParseTime("10:30"), 630);
  EXPECT_DOUBLE_EQ(*ParseTime("42.5"), 42.5);
  EXPECT_FALSE(ParseTime("1:2:3:4"));
  EXPECT_FALSE(ParseTime("ab"));
  EXPECT_FALSE(ParseTime(""));
  EXPECT_FALSE(ParseTime("-1"));
  // One reading for both programs: minutes and seconds stay below 60, only
  // the last field has a fraction, and numbers ignore the locale.
  EXPECT_FALSE(ParseTime("1:75"));
  EXPECT_FALSE(ParseTime("1.5:30"));
  EXPECT_DOUBLE_EQ(*ParseTime(" 90 "), 90);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_FALSE(ParseInteger("++7"));
  EXPECT_FALSE(ParseNumber("nan"));
  EXPECT_FALSE(ParseNumber("1,5"));
  EXPECT_EQ(AsciiLower("ÄBC"), "Äbc");
}

TEST(TimeText, IndependentOfTheCLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    EXPECT_EQ(FormatFixed6(3.5), "3.500000");
    EXPECT_DOUBLE_EQ(*ParseTime("00:00:01.25"), 1.25);
  }
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(FormatFixed6(60), "60.000000");
}

// Sets (or with nullptr unsets) an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(AppSettingsFile, FirstStartWritesTheDefaultsWithTheVideosFolder) {
  TempDir dir;
  const std::string home = dir / "home";
  ScopedEnv homeVariable("HOME", home.c_str());
  ScopedEnv config("XDG_CONFIG_HOME", nullptr);
  ScopedEnv videos("XDG_VIDEOS_DIR", nullptr);
  const std::string f = dir / "orvantic.ini";
  AppSettings s = ReadSettings(f);
  EXPECT_EQ(s.overWriteType, 1);
  EXPECT_EQ(s.outputPath, home + "/Videos");
  WriteSettings(s, f);
  EXPECT_EQ(test::ReadText(f), "[GENERAL]\nOverWriteType=1\nOutputPath=" + home + "/Videos\n");
  // Made by the first run that writes there, not by reading the settings.
  EXPECT_FALSE(std::filesystem::exists(home + "/Videos"));

  // The desktop's own name for the folder, from the file xdg-user-dir reads.
  std::filesystem::create_directories(home + "/.config");
  WriteText(dir / "home/.config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n"
            "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
  std::remove(f.c_str());
  EXPECT_EQ(ReadSettings(f).outputPath, home + "/Filme");
  // A file that already names a folder keeps it, /tmp included.
  WriteText(f, "[GENERAL]\nOutputPath=/tmp\n");
  EXPECT_EQ(ReadSettings(f).outputPath, "/tmp");
}

TEST(UserFolders, VideosFolderFollowsXdgUserDirs) {
  TempDir dir;
  const std::string home = dir / "home";
  const std::string dirs = dir / "config/user-dirs.dirs";
  std::filesystem::create_directories(dir / "config");
  std::filesystem::create_directories(home + "/.config");
  UserFolderInputs in{home, dir / "config", ""};
  EXPECT_EQ(VideosFolderFrom(in), home + "/Videos");
  in.videosDirVariable = "/srv/films";
  EXPECT_EQ(VideosFolderFrom(in), "/srv/films");
  WriteText(dirs, "XDG_VIDEOS_DIR=\"/media/My \\\"Films\\\"/\"\n");
  EXPECT_EQ(VideosFolderFrom(in), "/media/My \"Films\"");  // the file wins
  // Set to the home folder itself: the user wanted none; xdg-user-dir would
  // print the home folder, which is no place to pour converted files into.
  WriteText(dirs, "XDG_VIDEOS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(VideosFolderFrom(in), home + "/Videos");
  WriteText(dirs, "XDG_VIDEOS_DIR=\"${HOME}/V\"\nXDG_VIDEOS_DIR=\"relative/V\"\n");
  in.videosDirVariable.clear();
  EXPECT_EQ(VideosFolderFrom(in), home + "/Videos");  // the last one counts, and is invalid
  in.configHomeVariable = "relative";                 // invalid: ~/.config instead
  WriteText(home + "/.config/user-dirs.dirs", "XDG_VIDEOS_DIR=\"${HOME}/V\"\n");
  EXPECT_EQ(VideosFolderFrom(in), home + "/V");
}

TEST(AppSettingsFile, ReadsLeadingDigitsAndCutsLongPaths) {
  TempDir dir;
  const std::string f = dir / "orvantic.ini";
  WriteText(f, "[GENERAL]\nOverWriteType=3abc\nOutputPath=" + std::string(300, 'p') + "\n");
  AppSettings s = ReadSettings(f);
  EXPECT_EQ(s.overWriteType, 3);
  EXPECT_EQ(s.outputPath.size(), 255u);
  WriteText(f, "[GENERAL]\nOverWriteType=many\n");
  EXPECT_EQ(ReadSettings(f).overWriteType, 0);
  EXPECT_EQ(EffectiveOverwritePolicy(0), kOverwrite);
  EXPECT_EQ(EffectiveOverwritePolicy(7), kOverwrite);
  EXPECT_EQ(EffectiveOverwritePolicy(3), kSkipExisting);
  s.SetOutputPath(std::string(600, 'q'));
  EXPECT_EQ(s.outputPath.size(), kOutputPathCapacity);
}

TEST(OptionTables, ListsSplitAndFollowProfileFormatAndCodec) {
  EXPECT_EQ(SplitOptionList("no|yes|"), (std::vector<std::string>{"no", "yes"}));
  EXPECT_EQ(SplitOptionList(options::kFrameRate).size(), 12u);
  EXPECT_EQ(SplitOptionList(options::kQuantizer).back(), "31");

  RowSet mpeg4 = RowsFor(1, "", "");
  EXPECT_EQ(mpeg4.videoBitrateList, options::kBitrateMpeg4);
  EXPECT_FALSE(mpeg4.quantizerRows);
  RowSet h264 = RowsFor(2, "", "");
  EXPECT_EQ(h264.videoCodecList, "h264|");
  EXPECT_TRUE(h264.quantizerRows);
  RowSet mp3 = RowsFor(3, "", "");
  EXPECT_FALSE(mp3.videoRows);
  EXPECT_EQ(mp3.formatList, "mp3|");
  EXPECT_TRUE(RowsFor(kCustomizedProfile, "mp4", "h264").quantizerRows);
  EXPECT_FALSE(RowsFor(kCustomizedProfile, "mp3", "h264").videoRows);
}

TEST(OptionTables, NewItemDefaultsDifferFromTheGridsFirstTexts) {
  ConversionSettings s;
  ApplyNewItemDefaults(2, s);
  EXPECT_EQ(s.videoCodec, "h264");
  EXPECT_EQ(s.videoBitrate, "1200");  // not on the H.264 list, kept as typed
  EXPECT_EQ(s.quantizerMin, "1");
  EXPECT_EQ(s.audioCodec, "aac");
  ApplyNewItemDefaults(3, s);
  EXPECT_EQ(s.outputFormat, "mp3");
  EXPECT_EQ(s.videoCodec, "MPEG4");
  ApplyNewItemDefaults(1, s);
  EXPECT_EQ(s.videoSize, "640x480");
  ConversionSettings grid = TextsOfRows(BuildGridRows());
  EXPECT_EQ(grid.quantizerMin, "20");
  EXPECT_EQ(grid.audioCodec, "AAC");
}

}  // namespace
}  // namespace orv
