// The preview player's command line, text for text.
#include <gtest/gtest.h>

#include "core/preview/preview_player.h"
#include "core/settings/option_tables.h"

namespace orv {
namespace {

SourceItem FileItem() {
  SourceItem item;
  ApplyNewItemDefaults(0, item);
  item.sourcePath = "/v/a.avi";
  item.audioChannel = "default";
  item.audioVolume = "default";
  return item;
}

const std::string kTail =
    " -framedrop -slave -wid 4242 -colorkey 0x000102 -keepaspect -priority abovenormal -ao dsound "
    "-vo directx"
    "  -currentfolder \"/work/f/\" ";

TEST(PlayCommand, FileWithChannelAndVolume) {
  SourceItem item = FileItem();
  item.audioChannel = "Left Mono";
  item.audioVolume = "normalize";
  EXPECT_EQ(BuildPlayCommand(item, *ParseItemValues(item), 10, 30, 4242, "/app/orvantic-engine", "/work/f/"),
            "\"/app/orvantic-engine\" \"/v/a.avi\"  -ss 10.000000 -endpos 20.000000  -af "
            "channels=1:1:0:0,volnorm" +
                kTail);
}

std::string PlayAudioGroups(const std::string& channel, const std::string& volume) {
  SourceItem item = FileItem();
  item.audioChannel = channel;
  item.audioVolume = volume;
  const auto values = ParseItemValues(item);
  if (!values) return "refused";
  return orv::PlayAudioGroups(*values);
}

TEST(PlayCommand, AudioGroupsJoinOrStandAlone) {
  EXPECT_EQ(PlayAudioGroups("default", "default"), "");
  EXPECT_EQ(PlayAudioGroups("default", "normalize"), "  -af  volnorm");
  EXPECT_EQ(PlayAudioGroups("mixed mono", "-3"), " -af pan=1:0.5:0.5,volume=-3db:sc");
  EXPECT_EQ(PlayAudioGroups("RIGHT STEREO", "default"), " -af channels=2:2:1:0:1:1");
  EXPECT_EQ(PlayAudioGroups("default", "6"), "  -af  volume=6db:sc");
  // Names are names in any case; a text that is no value makes no line.
  EXPECT_EQ(PlayAudioGroups("default", "Normalize"), "  -af  volnorm");
  EXPECT_EQ(PlayAudioGroups("default", "loud"), "refused");
}

TEST(PlayCommand, DvdTitleAndVideoCd) {
  SourceItem dvd = FileItem();
  dvd.isDvdTitle = 1;
  dvd.sourcePath = "DVD_DRIVE_E";
  dvd.dvdTitle = 3;
  dvd.dvdFirstChapter = 2;
  dvd.dvdLastChapter = 5;
  dvd.dvdAudioStreamId = -1;
  dvd.dvdSubtitleId = -1;
  EXPECT_EQ(
      BuildPlayCommand(dvd, *ParseItemValues(dvd), 0, 60, 4242, "/e", "/work/f/"),
      "\"/e\" -dvd-device  E:\\ dvd://3 -chapter 2-5  -ss 0.000000 -endpos 60.000000 " + kTail);
  dvd.dvdAudioStreamId = 129;
  dvd.dvdSubtitleId = 32;
  EXPECT_NE(BuildPlayCommand(dvd, *ParseItemValues(dvd), 0, 60, 4242, "/e", "/work/f/")
                .find("-chapter 2-5  -aid 129  -sid 32  -ss"),
            std::string::npos);
  EXPECT_EQ(DvdRootOf("DVD_DRIVE_E"), "E:\\");
  EXPECT_EQ(DvdRootOf("DVD_DRIVE_\""), "");  // no letter, no root

  SourceItem vcd = FileItem();
  vcd.isDvdTitle = 2;
  EXPECT_EQ(BuildPlayCommand(vcd, *ParseItemValues(vcd), 1.5, 2, 4242, "/e", "/work/f/"),
            "\"/e\" vcd://2 -cdrom-device l:\\  -ss 1.500000 -endpos 0.500000 " + kTail);
}

TEST(PlayCommand, SourceNamesCannotInjectOptions) {
  SourceItem item = FileItem();
  item.sourcePath = "/v/x\" -o \"/etc/passwd.avi";
  const std::string line = BuildPlayCommand(item, *ParseItemValues(item), 0, 1, 1, "/e", "/f/");
  EXPECT_NE(line.find("\"/v/x\\\" -o \\\"/etc/passwd.avi\""), std::string::npos) << line;
}

}  // namespace
}  // namespace orv
