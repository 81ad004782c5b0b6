#include <gtest/gtest.h>

#include "core/convert/encode_command.h"
#include "platform/command_line.h"
#include "core/settings/option_tables.h"

namespace orv {
namespace {

SourceItem FileItem(int profile, int w = 640, int h = 480) {
  SourceItem item;
  ApplyNewItemDefaults(profile, item);
  item.sourcePath = "/Media/Clip.AVI";
  item.outputPath = "/out/Clip." + item.outputFormat;
  item.videoWidth = w;
  item.videoHeight = h;
  return item;
}

const Installation kInst{"/app/", "/app/"};

ItemValues V(const SourceItem& item) {
  const auto values = ParseItemValues(item);
  EXPECT_TRUE(values) << "settings that are no values";
  return values.value_or(ItemValues{});
}
std::string BuildEncodeCommand(const SourceItem& item, const Installation& inst) {
  return orv::BuildEncodeCommand(item, V(item), inst);
}
std::string StreamPart(const SourceItem& item) {
  return orv::StreamPart(V(item), item.videoWidth, item.videoHeight);
}
std::string AudioFilterPart(const SourceItem& item) { return orv::AudioFilterPart(V(item)); }

TEST(EncodeCommand, H264WithAudioExample) {
  SourceItem item = FileItem(2);
  EXPECT_EQ(BuildEncodeCommand(item, kInst),
            "\"/app/orvantic-engine\" \"/Media/Clip.AVI\"   -srate 44100  -vf "
            "scale=320:-2,harddup,expand=320:240:-1:-1:1  -oac lavc -ovc lavc -lavcopts "
            "keyint=500:level=13:vqmin=1:vqmax=31:vrc_maxrate=1200:vratetol=10:bit_exact:coder=0:"
            "aglobal=1:vglobal=1:vcodec=h264:acodec=aac:vbitrate=1200:abitrate=128:v4mv:qpel:"
            "trell=lambda:mbd=1:vme=1  -of lavf -lavfopts "
            "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames ");
  EXPECT_EQ(PieceTail("", "/out/Clip.mp4", " -currentfolder \"/app/\" "),
            " -o \"/out/Clip.mp4\" -currentfolder \"/app/\" ");
}

TEST(EncodeCommand, Mp3WithNormalizeExample) {
  SourceItem item = FileItem(3);
  item.audioVolume = "normalize";
  EXPECT_EQ(SourcePart(item) + StreamPart(item),
            " \"/Media/Clip.AVI\"  -af volnorm -srate 44100   -ovc frameno -oac mp3lame -lameopts "
            " cbr:br=128:mode=0 -of rawaudio ");
  item.audioDisabled = "yes";
  EXPECT_EQ(StreamPart(item), " -nosound ");
}

TEST(EncodeCommand, Mpeg4TemplatesWithAndWithoutAudio) {
  SourceItem item = FileItem(0);
  EXPECT_EQ(StreamPart(item),
            "  -srate 44100  -vf scale=320:-2,harddup,expand=320:240:-1:-1:1  -oac lavc -ovc lavc "
            "-lavcopts acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:"
            "trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 -ffourcc mp4v -of lavf -lavfopts "
            "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames");
  item.audioDisabled = "yes";
  item.videoFrameRate = "25";
  EXPECT_EQ(StreamPart(item),
            " -nosound  -vf scale=320:-2,harddup,expand=320:240:-1:-1:1  -ofps 25 -ovc lavc "
            "-lavcopts vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:"
            "vglobal=1:aglobal=1 -ffourcc mp4v -of lavf -lavfopts "
            "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames");
  item.videoCodec = "h264";
  EXPECT_NE(StreamPart(item).find("vcodec=h264:vbitrate=1200:v4mv:qpel:trell=lambda:mbd=1:vme=1 "
                                  "-of lavf"),
            std::string::npos);
}

TEST(EncodeCommand, DisabledStreams) {
  SourceItem item = FileItem(0);
  item.videoDisabled = "yes";
  EXPECT_EQ(StreamPart(item),
            "  -srate 44100  -oac lavc -lavcopts acodec=aac:abitrate=128 -ffourcc mp4v -of lavf "
            "-lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames -ovc "
            "frameno -of rawaudio ");
  item.audioDisabled = "No";  // only "no" keeps a stream
  EXPECT_EQ(StreamPart(item), " -nosound  XXX  -ovc frameno -of rawaudio ");
}

TEST(EncodeCommand, ScaleFitsTheWiderSide) {
  EXPECT_EQ(ScaleFilter(320, 240, 720, 576), " -vf scale=-2:240,harddup,expand=320:240:-1:-1:1 ");
  EXPECT_EQ(ScaleFilter(320, 240, 1280, 720), " -vf scale=320:-2,harddup,expand=320:240:-1:-1:1 ");
  EXPECT_EQ(ScaleFilter(320, 240, 640, 480), " -vf scale=320:-2,harddup,expand=320:240:-1:-1:1 ");
  // A typed size in another case and with blanks is the same size.
  SourceItem item = FileItem(0, 1280, 720);
  item.videoSize = "  640X480 ";
  EXPECT_NE(StreamPart(item).find(" -vf scale=640:-2,harddup,expand=640:480:-1:-1:1 "),
            std::string::npos);
  // No source size: fit the height.
  EXPECT_EQ(ScaleFilter(320, 240, 0, 0), " -vf scale=-2:240,harddup,expand=320:240:-1:-1:1 ");
}

TEST(EncodeCommand, ChannelAndVolumeFilters) {
  SourceItem item = FileItem(0);
  item.audioChannel = "Left Mono";
  EXPECT_EQ(AudioFilterPart(item), " -af channels=1:1:0:0 -srate 44100 ");
  item.audioChannel = "default";
  item.audioVolume = "5";
  EXPECT_EQ(AudioFilterPart(item), " -af volume=5db:sc -srate 44100 ");
  item.audioChannel = "mixed mono";
  item.audioVolume = "normalize";
  EXPECT_EQ(AudioFilterPart(item), " -af pan=1:0.5:0.5,volnorm -srate 44100 ");
  item.audioChannel = "right stereo";
  item.audioVolume = "-20";
  EXPECT_EQ(AudioFilterPart(item), " -af channels=2:2:1:0:1:1,volume=-20db:sc -srate 44100 ");
  item.audioChannel = "surround";  // no channel mode: no line at all
  item.audioVolume = "default";
  EXPECT_FALSE(ParseItemValues(item));
}

TEST(EncodeCommand, DvdSourceParts) {
  SourceItem item = FileItem(0);
  item.sourcePath = "DVD_DRIVE_D";
  item.dvdTitle = 2;
  item.dvdFirstChapter = 1;
  item.dvdLastChapter = 5;
  item.dvdAudioStreamId = 0;
  item.dvdSubtitleId = -1;
  EXPECT_EQ(SourcePart(item), " dvd://2 -dvd-device \"d:\" -chapter 1-5  -aid 0 ");
  item.dvdAudioStreamId = -1;
  item.dvdSubtitleId = 3;
  EXPECT_EQ(SourcePart(item), " dvd://2 -dvd-device \"d:\" -chapter 1-5  -sid 3 ");
  item.sourcePath = "DVD_DRIVE_DX";  // 12 characters: a file
  EXPECT_EQ(SourcePart(item), " \"DVD_DRIVE_DX\" ");
  // A stored name whose last character is no drive letter is a file too: it
  // must not reach the unquoted DVD form.
  item.sourcePath = "DVD_DRIVE_\"";
  EXPECT_EQ(SplitCommandLine(SourcePart(item)), std::vector<std::string>{"DVD_DRIVE_\""});
}

TEST(EncodeCommand, FileNamesCannotInjectOptions) {
  SourceItem item = FileItem(0);
  item.sourcePath = "/in/-o \"evil\".avi";
  item.outputPath = "/out/-ss 9.mp4";
  std::string line = BuildEncodeCommand(item, kInst) +
                     PieceTail(RangeSeconds(3.5, 10), item.outputPath, " -currentfolder \"/app/\" ");
  auto args = SplitCommandLine(line);
  ASSERT_GE(args.size(), 2u);
  EXPECT_EQ(args[0], "/app/orvantic-engine");
  EXPECT_EQ(args[1], "/in/-o \"evil\".avi");
  EXPECT_EQ(args[args.size() - 3], "/out/-ss 9.mp4");
  EXPECT_EQ(args.back(), "/app/");
  EXPECT_NE(line.find(" -ss 3.500000 -endpos 10.000000 "), std::string::npos);
}

}  // namespace
}  // namespace orv
