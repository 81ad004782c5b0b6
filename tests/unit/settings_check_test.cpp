// Settings texts from files, the grid and the console are values or are
// refused with the field's caption, the value and the reason.
#include "core/settings/settings_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/convert/encode_command.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "core/settings/source_item.h"

namespace orv {
namespace {

SourceItem ValidItem(int profile) {
  SourceItem item;
  ApplyNewItemDefaults(profile, item);
  item.duration = item.clipEndSeconds = 60;
  item.videoWidth = 640;
  item.videoHeight = 480;
  return item;
}

TEST(SettingsCheck, EveryOptionOfTheTablesIsAValue) {
  const GridRows rows = BuildGridRows();
  for (const GridRow& row : rows)
    for (const std::string& option : SplitOptionList(row.options))
      EXPECT_EQ(FieldValueProblem(row.caption, option), "") << row.caption << " " << option;
  // The lists a row switches to under another profile or format.
  const std::pair<const char*, const char*> other[] = {{"Video bitrate", options::kBitrateH264},
                                                       {"Video codec", options::kCodecH264},
                                                       {"Output format", options::kFormatMp3},
                                                       {"Audio codec", options::kAudioCodecMp3}};
  for (const auto& [caption, list] : other)
    for (const std::string& option : SplitOptionList(list))
      EXPECT_EQ(FieldValueProblem(caption, option), "") << caption << " " << option;
  for (int profile = 0; profile < kProfileCount; ++profile)
    EXPECT_FALSE(CheckSettings(ValidItem(profile), 60)) << profile;
  // Typed values the grid offers room for.
  EXPECT_EQ(FieldValueProblem("Video size", "480x360"), "");
  EXPECT_EQ(FieldValueProblem("Split", "01:30:00"), "");
  EXPECT_EQ(FieldValueProblem("Split", "2 GB"), "");
  EXPECT_EQ(FieldValueProblem("Audio volume", "-7.5"), "");
  EXPECT_EQ(FieldValueProblem("Video bitrate", "3000"), "");
}

TEST(SettingsCheck, TextsThatAreNoValuesAreNamed) {
  struct Case {
    const char* caption;
    const char* value;
    const char* reason;
  };
  const Case cases[] = {
      {"Video bitrate", "12 00", "is not a number"},
      {"Video bitrate", "abc", "is not a number"},
      {"Video bitrate", "1200 -endpos 1", "is not a number"},
      {"Audio sample", "-44100", "is not a number"},
      {"Audio sample", "44100 -endpos 1 -o /tmp/x.mp4", "is not a number"},
      {"Audio bitrate", "0", "is not a whole number from 1 to 1000"},
      {"quantizer min", "99", "is not a whole number from 1 to 31"},
      {"Video size", "0x0", "is not \"source\", a size WIDTHxHEIGHT or a height xHEIGHT with even sides from 2 to 16384"},
      {"Video size", "321x240", "is not \"source\", a size WIDTHxHEIGHT or a height xHEIGHT with even sides from 2 to 16384"},
      {"Video size", "320x240 -vf x", "is not \"source\", a size WIDTHxHEIGHT or a height xHEIGHT with even sides from 2 to 16384"},
      {"Video frame rate", "25 -ss 3", "is not \"default\" or a number of frames per second up to 1000"},
      {"Audio channel", "left -af x", "is not one of default, left stereo, right stereo, left mono, right mono, mixed mono"},
      {"Audio volume", "+5 -endpos 1", "is not \"default\", \"normalize\" or a gain from -200 to +60 dB"},
      {"Split", "650 MB -o x", "is not \"Not split\", a length hh:mm:ss or a size such as 650 MB"},
      {"Video codec", "h265", "is not one of mpeg4, h264, hevc, av1, vp9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldValueProblem(c.caption, c.value), c.reason) << c.caption << " " << c.value;
    EXPECT_EQ((FieldProblem{c.caption, c.value, c.reason}.Text()),
              std::string(c.caption) + " '" + c.value + "' " + c.reason);
  }
}

TEST(SettingsCheck, ClipTimesAreFiniteOrderedAndWithinTheSource) {
  SourceItem item = ValidItem(0);
  item.clipEnabled = 1;
  item.clipStartSeconds = 10;
  item.clipEndSeconds = 20;
  EXPECT_FALSE(CheckSettings(item, 60));
  item.clipStartSeconds = std::nan("");
  ASSERT_TRUE(CheckSettings(item, 60));
  EXPECT_EQ(CheckSettings(item, 60)->Text(), "Start time 'nan' is not a time from the start of the source");
  item.clipStartSeconds = -1;
  EXPECT_EQ(CheckSettings(item, 60)->caption, "Start time");
  item.clipStartSeconds = 30;
  EXPECT_EQ(CheckSettings(item, 60)->caption, "End time");
  item.clipStartSeconds = 10;
  item.clipEndSeconds = 90;
  EXPECT_EQ(CheckSettings(item, 60)->reason, "is past the end of the source");
  item.clipEnabled = 0;  // a clip that is off is not used
  EXPECT_FALSE(CheckSettings(item, 60));
}

// Normalised once where they enter, names give the lines the builders give
// for the names as the tables spell them.
TEST(SettingsCheck, NamesAreNormalisedToTheTablesSpelling) {
  SourceItem typed = ValidItem(2), plain = ValidItem(2);
  typed.audioChannel = "Left Mono";
  plain.audioChannel = "left mono";
  typed.audioVolume = "Normalize";
  plain.audioVolume = "normalize";
  typed.videoCodec = "H264";
  NormaliseSettings(typed);
  Installation installation;
  EXPECT_EQ(BuildEncodeCommand(typed, *ParseItemValues(typed), installation),
            BuildEncodeCommand(plain, *ParseItemValues(plain), installation));
}

TEST(SettingsCheck, AProfileWithOtherRowsOrBadValuesIsRefused) {
  GridRows rows = BuildGridRows();
  EXPECT_EQ(ProfileRowsProblem(rows), "");
  rows[kRowAudioSample].value = "44100 -endpos 1";
  EXPECT_EQ(ProfileRowsProblem(rows), "Audio sample '44100 -endpos 1' is not a number.");
  rows = BuildGridRows();
  std::swap(rows[kRowVideoSize], rows[kRowVideoCodec]);
  EXPECT_EQ(ProfileRowsProblem(rows),
            "row 6 is \"Video size\" where \"Video codec\" belongs; this is not a profile of "
            "this program.");
}

}  // namespace
}  // namespace orv
