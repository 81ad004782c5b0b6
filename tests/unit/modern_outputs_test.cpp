// The outputs only customized profiles name: Matroska and WebM, HEVC, AV1,
// VP9 and Opus, constant quality, sizes kept from the source; and the device
// presets that use them.
#include <gtest/gtest.h>

#include "core/convert/encode_command.h"
#include "core/settings/device_presets.h"
#include "core/settings/item_values.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "core/settings/settings_check.h"

namespace orv {
namespace {

ConversionSettings Modern(const char* format, const char* video, const char* bitrate,
                          const char* audio) {
  ConversionSettings s;
  ApplyNewItemDefaults(0, s);
  s.outputFormat = format;
  s.videoCodec = video;
  s.videoBitrate = bitrate;
  s.audioCodec = audio;
  return s;
}

std::string Line(const ConversionSettings& s, int w = 720, int h = 576) {
  const auto values = ParseItemValues(s);
  EXPECT_TRUE(values) << (CheckSettingsTexts(s) ? CheckSettingsTexts(s)->Text() : "");
  return StreamPart(values.value_or(ItemValues{}), w, h);
}

TEST(ModernOutputs, LinesNameCodecQualityPresetAndContainer) {
  ConversionSettings s = Modern("mkv", "HEVC", "CRF 23", "opus");
  s.videoSize = "x720";
  EXPECT_EQ(Line(s),
            "  -srate 44100  -vf scale=-2:720  -oac lavc -ovc lavc -lavcopts "
            "vcodec=hevc:crf=23:vpreset=fast:acodec=opus:abitrate=128 -of lavf -lavfopts "
            "format=matroska:chapters ");
  // HEVC in MP4 is tagged for Apple's players; a bitrate instead of a CRF.
  s = Modern("mp4", "hevc", "4000", "AAC");
  s.videoSize = "source";
  s.audioDisabled = "yes";
  EXPECT_EQ(Line(s),
            " -nosound  -vf scale=-2:0  -ovc lavc -lavcopts vcodec=hevc:vbitrate=4000:vpreset=fast "
            "-ffourcc hvc1 -of lavf -lavfopts format=mp4:chapters ");
  s = Modern("webm", "vp9", "crf31", "Opus");
  s.videoFrameRate = "25";
  EXPECT_EQ(Line(s),
            "  -srate 44100  -vf scale=-2:240,harddup,expand=320:240:-1:-1:1  -ofps 25 -oac lavc "
            "-ovc lavc -lavcopts vcodec=vp9:crf=31:vpreset=4:acodec=opus:abitrate=128 -of lavf "
            "-lavfopts format=webm:chapters ");
  // Sound only, in Matroska: MP3 is a codec of its own there.
  s = Modern("mkv", "av1", "CRF 30", "mp3");
  s.videoDisabled = "yes";
  EXPECT_EQ(Line(s), "  -srate 44100  -oac lavc -lavcopts acodec=mp3:abitrate=128 -ovc frameno -of "
                     "lavf -lavfopts format=matroska:chapters ");
}

TEST(ModernOutputs, H264TakesTheProfileTemplateOnlyAtABitrateInMp4) {
  ConversionSettings s = Modern("mp4", "h264", "CRF 20", "aac");
  EXPECT_NE(Line(s).find("vcodec=h264:crf=20:vpreset=medium:acodec=aac"), std::string::npos);
  // A size from the source changes the scale, never the built-in template.
  s = Modern("mp4", "h264", "768", "aac");
  s.videoSize = "x480";
  const std::string line = Line(s);
  EXPECT_EQ(line.substr(0, 35), "  -srate 44100  -vf scale=-2:480  -");
  EXPECT_NE(line.find("keyint=500:level=13"), std::string::npos);
}

TEST(ModernOutputs, NewValuesAreCheckedWithTheirReasons) {
  EXPECT_EQ(FieldValueProblem("Video size", "source"), "");
  EXPECT_EQ(FieldValueProblem("Video size", "x720"), "");
  EXPECT_NE(FieldValueProblem("Video size", "x721"), "");
  EXPECT_NE(FieldValueProblem("Video size", "x"), "");
  EXPECT_EQ(FieldValueProblem("Video bitrate", "CRF 23"), "");
  EXPECT_EQ(FieldValueProblem("Video bitrate", "crf 99"), "is not a constant quality CRF 0 to 63");
  EXPECT_EQ(FieldValueProblem("Video bitrate", "CRF 23 -o x"),
            "is not a constant quality CRF 0 to 63");
  EXPECT_EQ(ParseCrf(" Crf  7 "), 7);
  EXPECT_FALSE(ParseCrf("CRF"));
  EXPECT_EQ(FieldValueProblem("Output format", "mkv"), "");
  EXPECT_EQ(FieldValueProblem("Output format", "avi"), "is not one of mp4, mp3, mkv, webm");

  struct Case {
    ConversionSettings settings;
    const char* text;  // "" when the combination is fine
  };
  ConversionSettings noSound = Modern("webm", "vp9", "CRF 33", "aac");
  noSound.audioDisabled = "yes";
  const Case cases[] = {
      {Modern("webm", "h264", "CRF 23", "opus"),
       "Video codec 'h264' cannot be stored in WebM, which holds VP9 or AV1 video only"},
      {Modern("webm", "av1", "CRF 30", "aac"),
       "Audio codec 'aac' cannot be stored in WebM, which holds Opus audio only"},
      {Modern("mp3", "MPEG4", "1200", "opus"), "Audio codec 'opus' cannot be stored in an MP3 file"},
      {Modern("mp4", "hevc", "CRF 52", "aac"),
       "Video bitrate 'CRF 52' is outside the constant quality range CRF 0 to 51 of hevc"},
      {Modern("mkv", "av1", "CRF 0", "opus"),
       "Video bitrate 'CRF 0' is outside the constant quality range CRF 1 to 63 of av1"},
      {Modern("mp4", "MPEG4", "CRF 5", "aac"),
       "Video bitrate 'CRF 5' is a constant quality, which the MPEG4 codec does not offer; give a "
       "bitrate in kbit/s"},
      {Modern("mkv", "vp9", "CRF 63", "mp3"), ""},
      {noSound, ""},
  };
  for (const Case& c : cases) {
    const auto problem = CheckSettingsTexts(c.settings);
    EXPECT_EQ(problem ? problem->Text() : "", c.text);
  }
}

TEST(ModernOutputs, CustomizedMatroskaProfileShowsTheMp4Rows) {
  GridRows custom = BuildGridRows();
  custom[kRowFormat] = GridRow{"Output format", "mkv", 0, "mkv|", 1};
  custom[kRowVideoCodec] = GridRow{"Video codec", "av1", 0, "av1|", 1};
  custom[kRowVideoBitrate].value = "CRF 30";
  custom[kRowAudioCodec] = GridRow{"Audio codec", "opus", 0, "opus|", 1};
  GridRows rows = BuildGridRows();
  ConversionSettings item = Modern("mp4", "MPEG4", "1200", "aac");
  const auto shown = ApplyProfileToRows(rows, kCustomizedProfile, &item, 10, custom);
  ASSERT_TRUE(shown);
  EXPECT_EQ(*shown, ShownRowsFor(false, false));
  EXPECT_EQ(rows[kRowFormat].options, "mkv|");
  EXPECT_EQ(rows[kRowVideoBitrate].options, options::kBitrateAv1);
  EXPECT_EQ(rows[kRowAudioCodec].value, "opus");
  ApplyProfileToItem(rows, kCustomizedProfile, item, 10);
  EXPECT_EQ(item.outputFormat, "mkv");
  EXPECT_EQ(item.videoCodec, "av1");
  EXPECT_EQ(item.audioCodec, "opus");
  // Clicking the item again shows the same rows.
  GridRows again = BuildGridRows();
  ASSERT_TRUE(FillRowsFromItem(again, item, kCustomizedProfile, "mkv"));
  EXPECT_EQ(again[kRowFormat].value, "mkv");
  EXPECT_EQ(again[kRowVideoCodec].options, "av1|");
  EXPECT_EQ(again[kRowAudioCodec].options, "opus|");
  EXPECT_EQ(ShownRowsAfterLoad(again, custom), ShownRowsFor(false, false));
}

TEST(ModernOutputs, ATypedQualityIsCheckedAgainstTheShownCodec) {
  GridRows rows = BuildGridRows();
  rows[kRowVideoCodec].value = "hevc";
  const std::vector<const GridRow*> shown{&rows[kRowFormat], &rows[kRowVideoCodec],
                                          &rows[kRowVideoBitrate]};
  EXPECT_EQ(TypedValueCombinationProblem(shown, "Video bitrate", "CRF 55"),
            "is outside the constant quality range CRF 0 to 51 of hevc");
  EXPECT_EQ(TypedValueCombinationProblem(shown, "Video bitrate", "CRF 28"), "");
  rows[kRowVideoCodec].value = "MPEG4";
  EXPECT_NE(TypedValueCombinationProblem(shown, "Video bitrate", "CRF 28"), "");
  EXPECT_EQ(TypedValueCombinationProblem(shown, "Video bitrate", "2500"), "");
}

TEST(ModernOutputs, ProfileFilesWithCombinationsNoFormatHoldsAreRefused) {
  GridRows rows = BuildGridRows();
  rows[kRowFormat].value = "webm";
  rows[kRowVideoCodec].value = "hevc";
  GridRows read;
  std::string error;
  EXPECT_FALSE(ParseProfile(ProfileBytes(rows), "/p/x.profile", &read, &error));
  EXPECT_EQ(error, "/p/x.profile: Video codec 'hevc' cannot be stored in WebM, which holds VP9 or "
                   "AV1 video only.");
}

TEST(ModernOutputs, DevicePresetsAreValidProfilesThatRoundTrip) {
  const auto presets = DevicePresets();
  ASSERT_EQ(presets.size(), 5u);
  for (const DevicePreset& p : presets) {
    GridRows read;
    std::string error;
    ASSERT_TRUE(ParseProfile(ProfileBytes(p.rows), p.name, &read, &error)) << error;
    EXPECT_EQ(read, p.rows);
    const ConversionSettings texts = TextsOfRows(read);
    const auto values = ParseItemValues(texts);
    ASSERT_TRUE(values) << p.name;
    EXPECT_GE(values->crf, 0) << p.name;
    // Every preset's own options pass the checks it offers them with.
    for (const std::string& option : SplitOptionList(read[kRowVideoBitrate].options))
      EXPECT_EQ(FieldValueProblem("Video bitrate", option), "") << p.name << " " << option;
  }
  const Installation built{"/b/bin/", "/b/bin/", "", "/b/bin/"};
  EXPECT_EQ(PresetFolder(built), "/b/bin/profiles");
  const Installation installed{"/home/u/.config/orvantic/", "/usr/libexec/orvantic", "",
                               "/usr/share/orvantic"};
  EXPECT_EQ(PresetFolder(installed), "/usr/share/orvantic/profiles");
}

}  // namespace
}  // namespace orv
