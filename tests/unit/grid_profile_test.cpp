// The grid rows as data, the profile rules on them, the archive strings and
// profile files (exact bytes, damaged files), and typed clip times.
#include <gtest/gtest.h>

#include "core/settings/archive.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "core/settings/time_text.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::TempDir;

std::vector<std::string> Captions(const GridRows& rows, const ShownRows& shown) {
  std::vector<std::string> out;
  for (int r : shown) out.push_back(rows[static_cast<std::size_t>(r)].caption);
  return out;
}

ConversionSettings SampleItem() {
  ConversionSettings s;
  ApplyNewItemDefaults(2, s);
  s.clipEnabled = 1;
  s.clipStartText = "00:00:01.00";
  s.clipEndText = "00:00:05.00";
  s.clipStartSeconds = 1;
  s.clipEndSeconds = 5;
  s.splitMode = "650 MB";
  s.videoSize = "480x360";
  s.quantizerMin = "4";
  s.quantizerMax = "30";
  s.audioChannel = "mixed mono";
  return s;
}

const std::vector<std::string> kMp4Rows = {
    "Clip video",     "Start time",       "End time",    "Output format", "Split",
    "Video codec",    "Video size",       "Video frame rate", "Video bitrate", "Video disabled",
    "Audio codec",    "Audio sample",     "Audio bitrate", "Audio channel", "Audio volume",
    "Audio disabled"};

TEST(GridRows, BuiltAsTheWindowShowsThem) {
  const GridRows rows = BuildGridRows();
  EXPECT_EQ(Captions(rows, InitialShownRows()), kMp4Rows);
  EXPECT_EQ(rows[kRowQuantizerMin].value, "20");
  EXPECT_EQ(rows[kRowQuantizerMax].value, "31");
  EXPECT_EQ(rows[kRowStart].kind, kEditorText);
  EXPECT_EQ(rows[kRowSplit].listOnly, 0);
  EXPECT_EQ(rows[kRowFrameRate].listOnly, 1);
  EXPECT_EQ(rows[kRowAudioVolume].listOnly, 0);
  EXPECT_EQ(SplitOptionList(rows[kRowQuantizerMin].options).size(), 31u);
  EXPECT_EQ(SplitOptionList("a|b|tail"), (std::vector<std::string>{"a", "b"}));
}

TEST(GridRows, FilledFromAnItemByItsProfile) {
  const ConversionSettings item = SampleItem();
  GridRows rows = BuildGridRows();
  // MPEG-4 profiles: codec and bitrate list fixed, no quantizer rows.
  auto shown = FillRowsFromItem(rows, item, 1, "");
  ASSERT_TRUE(shown);
  EXPECT_EQ(Captions(rows, *shown), kMp4Rows);
  EXPECT_EQ(rows[kRowVideoCodec].value, "MPEG4");
  EXPECT_EQ(rows[kRowVideoBitrate].options, options::kBitrateMpeg4);
  EXPECT_EQ(rows[kRowClip].value, "yes");
  EXPECT_EQ(rows[kRowStart].value, "00:00:01.00");
  EXPECT_EQ(rows[kRowSplit].value, "650 MB");
  EXPECT_EQ(rows[kRowVideoSize].value, "480x360");
  EXPECT_EQ(rows[kRowQuantizerMin].value, "20");  // not shown, not filled
  EXPECT_EQ(rows[kRowAudioCodec].value, "AAC");

  shown = FillRowsFromItem(rows, item, 2, "");
  ASSERT_TRUE(shown);
  EXPECT_EQ(Captions(rows, *shown)[6], "quantizer min");
  EXPECT_EQ(Captions(rows, *shown)[7], "quantizer max");
  EXPECT_EQ(rows[kRowQuantizerMin].value, "4");
  EXPECT_EQ(rows[kRowVideoBitrate].options, options::kBitrateH264);
  EXPECT_EQ(rows[kRowVideoBitrate].value, "1200");  // no option, kept as typed

  shown = FillRowsFromItem(rows, item, 3, "");
  ASSERT_TRUE(shown);
  EXPECT_EQ(Captions(rows, *shown),
            (std::vector<std::string>{"Clip video", "Start time", "End time", "Output format",
                                      "Split", "Audio codec", "Audio sample", "Audio bitrate",
                                      "Audio channel", "Audio volume", "Audio disabled"}));
  EXPECT_EQ(rows[kRowFormat].options, "mp3|");
  EXPECT_EQ(rows[kRowAudioCodec].value, "mp3");

  // The customized profile follows the loaded format and the item's codec.
  shown = FillRowsFromItem(rows, item, kCustomizedProfile, "mp4");
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->size(), 18u);
  EXPECT_EQ(rows[kRowVideoCodec].options, "h264|");
  EXPECT_EQ(FillRowsFromItem(rows, item, kCustomizedProfile, "mp3")->size(), 11u);

  // No profile loaded, or an unknown index: the grid stays as it was.
  const GridRows before = rows;
  EXPECT_FALSE(FillRowsFromItem(rows, item, kCustomizedProfile, ""));
  EXPECT_FALSE(FillRowsFromItem(rows, item, 5, "mp4"));
  EXPECT_EQ(rows, before);
}

TEST(GridRows, ProfilesRewriteRowsAndItem) {
  GridRows rows = BuildGridRows();
  const GridRows none;  // no profile loaded
  ConversionSettings item = SampleItem();

  // H.264: bitrate 768, quantizers taken from the item, clip reset.
  auto shown = ApplyProfileToRows(rows, 2, &item, 3725.5, none);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->size(), 18u);
  EXPECT_EQ(rows[kRowEnd].value, "01:02:05.50");
  EXPECT_EQ(rows[kRowVideoBitrate].value, "768");
  EXPECT_EQ(rows[kRowQuantizerMin].value, "4");
  EXPECT_EQ(rows[kRowSplit].value, "Not split");
  ApplyProfileToItem(rows, 2, item, 3725.5);
  EXPECT_EQ(item.clipEnabled, 0);
  EXPECT_EQ(item.clipEndSeconds, 3725.5);
  EXPECT_EQ(item.clipEndText, "01:02:05.50");
  EXPECT_EQ(item.videoBitrate, "768");
  EXPECT_EQ(item.videoSize, "320x240");
  EXPECT_EQ(item.splitMode, "Not split");
  EXPECT_EQ(item.quantizerMin, "4");  // built-in profiles leave the quantizers

  // MP3: no video rows; the item's video texts stay.
  item.videoSize = "480x360";
  ApplyProfileToRows(rows, 3, &item, 10, none);
  ApplyProfileToItem(rows, 3, item, 10);
  EXPECT_EQ(item.outputFormat, "mp3");
  EXPECT_EQ(item.audioCodec, "mp3");
  EXPECT_EQ(item.videoSize, "480x360");

  // Without an item only the rows change, the end time to zero.
  ASSERT_TRUE(ApplyProfileToRows(rows, 1, nullptr, 0, none));
  EXPECT_EQ(rows[kRowEnd].value, kZeroTime);
  EXPECT_EQ(rows[kRowVideoSize].value, "640x480");

  // The customized profile without a loaded file changes nothing.
  const GridRows before = rows;
  EXPECT_FALSE(ApplyProfileToRows(rows, kCustomizedProfile, &item, 10, none));
  EXPECT_FALSE(ApplyProfileToRows(rows, 7, &item, 10, none));
  EXPECT_EQ(rows, before);

  // A loaded profile: its values, quantizers included.
  GridRows custom = BuildGridRows();
  custom[kRowVideoCodec] = GridRow{"Video codec", "h264", 0, "h264|", 1};
  custom[kRowQuantizerMin].value = "9";
  custom[kRowAudioChannel].value = "left mono";
  shown = ApplyProfileToRows(rows, kCustomizedProfile, &item, 10, custom);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->size(), 18u);
  EXPECT_EQ(rows[kRowVideoBitrate].options, options::kBitrateH264);
  ApplyProfileToItem(rows, kCustomizedProfile, item, 10);
  EXPECT_EQ(item.outputFormat, "mp4");
  EXPECT_EQ(item.quantizerMin, "9");
  EXPECT_EQ(item.audioChannel, "left mono");
  EXPECT_EQ(item.audioCodec, "AAC");
}

TEST(GridRows, LoadedProfileAndGridEditsReachTheItem) {
  GridRows rows = BuildGridRows();
  rows[kRowFormat].value = "mp3";
  rows[kRowSplit].value = "00:10:00";
  rows[kRowClip].value = "yes";
  rows[kRowAudioBitrate].value = "320";
  ConversionSettings item = SampleItem();
  item.clipEnabled = 0;
  ApplyLoadedProfileToItem(rows, item);
  EXPECT_EQ(item.splitMode, "650 MB");  // a load keeps split and clip
  EXPECT_EQ(item.clipEnabled, 0);
  EXPECT_EQ(item.audioBitrate, "320");
  EXPECT_EQ(item.quantizerMin, "20");
  EXPECT_EQ(ShownRowsAfterLoad(rows, rows)->size(), 11u);

  CopyRowsToItem(rows, item);  // an edit copies everything but the clip times
  EXPECT_EQ(item.splitMode, "00:10:00");
  EXPECT_EQ(item.clipEnabled, 1);
  EXPECT_EQ(item.clipStartText, "00:00:01.00");
  rows[kRowClip].value = "NO";
  CopyRowsToItem(rows, item);
  EXPECT_EQ(item.clipEnabled, 0);

  rows[kRowFormat].value = "avi";
  EXPECT_FALSE(ShownRowsAfterLoad(rows, rows));
}

TEST(Archive, StringLengthsInTheirThreeForms) {
  for (std::size_t n : {0u, 254u, 255u, 65533u, 65534u, 70000u}) {
    ArchiveWriter out;
    out.String(std::string(n, 'x'));
    const std::string& b = out.bytes();
    const std::size_t prefix = n < 255 ? 1 : n < 65534 ? 3 : 7;
    ASSERT_EQ(b.size(), prefix + n) << n;
    const std::string escape = prefix == 1 ? "" : prefix == 3 ? "\xFF" : "\xFF\xFF\xFF";
    EXPECT_EQ(b.substr(0, escape.size()), escape);
    ArchiveReader in(b);
    std::string back;
    ASSERT_TRUE(in.String(&back)) << n;
    EXPECT_EQ(back.size(), n);
    EXPECT_EQ(in.remaining(), 0u);
  }
  ArchiveWriter out;
  out.Int32(-2);
  out.Double(2.5);
  ArchiveReader in(out.bytes());
  int32_t i = 0;
  double d = 0;
  EXPECT_TRUE(in.Int32(&i) && in.Double(&d));
  EXPECT_EQ(i, -2);
  EXPECT_EQ(d, 2.5);
}

TEST(Archive, WideTextComesOutAsUtf8) {
  // 0xFF 0xFFFE marker, length 3, "é€" and a pair for U+1F600... cut to 3 units.
  const std::string bytes("\xFF\xFE\xFF\x03\xE9\x00\xAC\x20\x3D\xD8", 10);
  ArchiveReader in(bytes);
  std::string text;
  ASSERT_TRUE(in.String(&text));
  EXPECT_EQ(text, "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD");  // é, €, an unpaired surrogate
  EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
}

TEST(Archive, DamagedDataIsRefusedWithinItsBytes) {
  struct Case {
    const char* what;
    std::string bytes;
    ArchiveError error;
  };
  const Case cases[] = {
      {"empty", "", ArchiveError::PastEnd},
      {"byte length past the end", std::string("\x05" "abc"), ArchiveError::PastEnd},
      {"16-bit length past the end", std::string("\xFF\x00\x01" "ab", 5), ArchiveError::PastEnd},
      {"32-bit length of 4 GB", std::string("\xFF\xFF\xFF\xFE\xFF\xFF\xFF" "ab", 9),
       ArchiveError::PastEnd},
      {"64-bit length", std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 15),
       ArchiveError::PastEnd},
      {"wide text with an odd byte count", std::string("\xFF\xFE\xFF\x02" "abc", 7),
       ArchiveError::PastEnd},
      {"wide marker twice", std::string("\xFF\xFE\xFF\xFF\xFE\xFF\x00", 7),
       ArchiveError::BadFormat},
  };
  for (const Case& c : cases) {
    ArchiveReader in(c.bytes);
    std::string text = "kept";
    EXPECT_FALSE(in.String(&text)) << c.what;
    EXPECT_EQ(in.error(), c.error) << c.what;
    EXPECT_EQ(text, "kept") << c.what;
    int32_t v = 7;
    EXPECT_FALSE(in.Int32(&v)) << c.what;  // nothing more after an error
  }
  EXPECT_EQ(ArchiveErrorText(ArchiveError::PastEnd, "/p/a.profile"),
            "An attempt was made to access /p/a.profile past its end.");
}

TEST(ProfileFile, DefaultRowsByteForByteAndBack) {
  const GridRows rows = BuildGridRows();
  const std::string bytes = ProfileBytes(rows);
  const std::string clip("\x01\x00\x00\x00\x07no|yes|\x02no\x00\x00\x00\x00\x0A" "Clip video", 30);
  EXPECT_EQ(bytes.substr(0, 30), clip);
  // The second record: an editable text row without options.
  EXPECT_EQ(bytes.substr(30, 32),
            std::string("\x00\x00\x00\x00\x00\x0B" "00:00:00.00\x01\x00\x00\x00\x0AStart time", 32));
  GridRows back;
  std::string error;
  ASSERT_TRUE(ParseProfile(bytes, "x", &back, &error)) << error;
  EXPECT_EQ(back, rows);
  // Rows of another program, and values that are none, are refused whole.
  GridRows odd = rows;
  odd[kRowVideoSize] = GridRow{"Bildgröße", std::string(300, 'v'), kEditorFile, "", 0};
  EXPECT_FALSE(ParseProfile(ProfileBytes(odd), "x", &back, &error));
  EXPECT_EQ(error, "x: row 7 is \"Bildgröße\" where \"Video size\" belongs; this is not a "
                   "profile of this program.");
  EXPECT_EQ(back, rows);
  odd = rows;
  odd[kRowVideoBitrate].value = "12 00";
  EXPECT_FALSE(ParseProfile(ProfileBytes(odd), "x", &back, &error));
  EXPECT_EQ(error, "x: Video bitrate '12 00' is not a number.");
}

TEST(ProfileFile, DamagedFilesChangeNoRow) {
  TempDir dir;
  const std::string full = ProfileBytes(BuildGridRows());
  GridRows rows = BuildGridRows();
  rows[kRowVideoSize].value = "mine";
  const GridRows before = rows;
  std::string error;
  // Three bytes, and a file cut inside the last record.
  for (const std::string& bytes : {full.substr(0, 3), full.substr(0, full.size() - 1)}) {
    test::WriteText(dir / "cut.profile", bytes);
    EXPECT_EQ(LoadProfileFile(dir / "cut.profile", &rows, &error), ProfileLoad::Damaged);
    EXPECT_EQ(error, "An attempt was made to access " + dir / "cut.profile" + " past its end.");
    EXPECT_EQ(rows, before);
  }
  // A length prefix far beyond the file.
  std::string huge = full;
  huge.replace(4, 1, std::string("\xFF\xFF\xFF\x00\x00\x00\x40", 7));
  test::WriteText(dir / "huge.profile", huge);
  EXPECT_EQ(LoadProfileFile(dir / "huge.profile", &rows, &error), ProfileLoad::Damaged);
  EXPECT_EQ(rows, before);
  EXPECT_EQ(LoadProfileFile(dir / "missing.profile", &rows, &error), ProfileLoad::OpenFailed);
  EXPECT_EQ(LoadProfileFile(dir.path(), &rows, &error), ProfileLoad::OpenFailed);

  ASSERT_TRUE(SaveProfileFile(dir / "good.profile", BuildGridRows()));
  ASSERT_EQ(LoadProfileFile(dir / "good.profile", &rows, &error), ProfileLoad::Ok);
  EXPECT_EQ(rows, BuildGridRows());
  EXPECT_FALSE(SaveProfileFile(dir / "no/such/folder.profile", rows));
}

TEST(ClipTimeText, FixedPositionsAndTheShapeTheGridPostsFor) {
  EXPECT_DOUBLE_EQ(ReadFixedTimeText("00:01:30.00"), 90.0);
  EXPECT_DOUBLE_EQ(ReadFixedTimeText("01:02:05.50"), 3725.5);
  EXPECT_DOUBLE_EQ(ReadFixedTimeText("ab:cd:ef.gh"), 0.0);
  EXPECT_DOUBLE_EQ(ReadFixedTimeText("00:01:3"), 63.0);  // short: the fields it has
  EXPECT_DOUBLE_EQ(ReadFixedTimeText("1x:02:03.0y"), 3600 + 120 + 3);
  EXPECT_TRUE(LooksLikeTimeText("00:01:30.00"));
  EXPECT_TRUE(LooksLikeTimeText("  00:01:30.00 "));
  EXPECT_TRUE(LooksLikeTimeText("ab:cd:ef.gh"));  // the shape only
  EXPECT_FALSE(LooksLikeTimeText("00:01:30.0"));  // 10 characters
  EXPECT_FALSE(LooksLikeTimeText("00:01:30:00"));
  EXPECT_FALSE(LooksLikeTimeText("000:01:30.00"));
}

}  // namespace
}  // namespace orv
