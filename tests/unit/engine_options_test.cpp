// Parsing pieces of orvantic-engine: command lines as the GUI writes them,
// value parsers, and the -vf/-af translations.
#include <gtest/gtest.h>

#include "engine/encode/codec_setup.h"
#include "engine/stages/filters.h"
#include "engine/options.h"
#include "engine/encode/output_file.h"
#include "engine/source/source.h"
#include "platform/command_line.h"

using namespace orv::engine;

namespace {

// Splits like the GUI's launcher: whitespace separates, double quotes group.
std::vector<std::string> split(const std::string& line) { return orv::SplitCommandLine(line); }

const char* kH264 =
    " \"/m/in.avi\"  -srate 44100 -vf scale=320:-2,harddup,expand=320:240:-1:-1:1 -ofps 29.97 -oac "
    "lavc -ovc lavc "
    "-lavcopts "
    "keyint=500:level=13:vqmin=1:vqmax=31:vrc_maxrate=1200:vratetol=10:bit_exact:coder=0:aglobal=1:"
    "vglobal=1:vcodec=h264:acodec=aac:vbitrate=1200:abitrate=128:v4mv:qpel:trell=lambda:mbd=1:vme="
    "1  -of lavf "
    "-lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames  -ss 12.500000 "
    "-endpos 30.000000 "
    " -o \"/out dir/a b.mp4\" -currentfolder \"/work/f/\"";

}  // namespace

TEST(EngineCommandLine, GuiEncodeLineParsesCompletely) {
  ParseResult r = ParseCommandLine(split(kH264));
  ASSERT_TRUE(r.ok()) << r.error;
  const Options& o = r.options;
  EXPECT_EQ(o.source, "/m/in.avi");
  EXPECT_EQ(o.output, "/out dir/a b.mp4");
  EXPECT_EQ(o.folder, "/work/f/");
  EXPECT_EQ(o.sampleRate, 44100);
  EXPECT_DOUBLE_EQ(o.outputFps, 29.97);
  EXPECT_EQ(o.lavc.vcodec, "h264");
  EXPECT_EQ(o.lavc.keyint, 500);
  EXPECT_EQ(o.lavc.level, 13);
  EXPECT_EQ(o.lavc.vrcMaxrateKbps, 1200);
  EXPECT_EQ(o.lavc.coder, 0);
  EXPECT_TRUE(o.lavc.bitExact);
  EXPECT_TRUE(o.lavc.trellis);
  EXPECT_EQ(o.lavfFormat, "mp4");
  EXPECT_DOUBLE_EQ(o.startSeconds, 12.5);
  EXPECT_EQ(o.end.kind, EndKind::Duration);
  EXPECT_DOUBLE_EQ(o.end.seconds, 30);

  OutputPlan plan;
  ASSERT_EQ(PlanOutput(o, plan), "");
  EXPECT_TRUE(plan.video && plan.audio);
  EXPECT_EQ(plan.videoEncoder, "libx264");
  EXPECT_EQ(plan.audioEncoder, "aac");
  EXPECT_EQ(plan.muxer, "mp4");
}

TEST(EngineCommandLine, DvdAndPlayOptionsAreAccepted) {
  ParseResult r = ParseCommandLine(
      split(" dvd://3 -dvd-device \"/dev/sr0\" -chapter 2-5  -aid 128  -sid 1 -vo xv "
            "-ao pulse -wid 4194307 -slave -framedrop -colorkey 0x020202 -keepaspect "
            "-priority abovenormal"));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.dvdTitle, 3);
  EXPECT_EQ(r.options.dvdDevice, "/dev/sr0");
  EXPECT_EQ(r.options.chapterFirst, 2);
  EXPECT_EQ(r.options.chapterLast, 5);
  EXPECT_EQ(r.options.aid, 128);
  EXPECT_EQ(r.options.sid, 1);
  EXPECT_EQ(r.options.wid, 4194307);
  EXPECT_EQ(r.options.colorkey, 0x020202);
  EXPECT_TRUE(r.options.slave && r.options.framedrop && r.options.keepaspect);
}

// A run of several engines at once gives each its share of the cores.
TEST(EngineCommandLine, ThreadSharesAreTaken) {
  ParseResult r = ParseCommandLine(
      split("a.avi -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=800 -o b.mp4 -lavdopts threads=2 "
            "-lavcopts threads=3"));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.decodeThreads, 2);
  EXPECT_EQ(r.options.lavc.threads, 3);
  EXPECT_EQ(r.options.lavc.vbitrateKbps, 800);  // a later -lavcopts adds to the first
}

TEST(EngineCommandLine, BadInputNamesTheProblem) {
  struct Case {
    const char* line;
    const char* mention;
  } cases[] = {
      {"a.avi -bogus", "-bogus"},
      {"a.avi -o", "-o"},
      {"a.avi -nosound XXX -ovc frameno", "XXX"},
      {"a.avi -srate fast", "-srate"},
      {"a.avi -ofps 0", "-ofps"},
      {"a.avi -endpos 12zz", "-endpos"},
      {"a.avi -ss -3", "-ss"},
      {"a.avi -lavcopts vcodec=mpeg4:turbo=1", "turbo"},
      {"a.avi -lavcopts vbitrate=fast", "vbitrate"},
      {"a.avi -lameopts cbr:br=9999", "br=9999"},
      {"a.avi -lavfopts format=mp4:fancy", "fancy"},
      {"a.avi -chapter 5-2", "-chapter"},
      {"a.avi -ffourcc mp4", "-ffourcc"},
      {"a.avi -wid 0xZZ", "-wid"},
      {"a.avi -lavdopts threads=0", "threads=0"},
      {"a.avi -lavdopts fast", "fast"},
      {"a.avi -lavcopts threads=65", "threads=65"},
  };
  for (const auto& c : cases) {
    ParseResult r = ParseCommandLine(split(c.line));
    EXPECT_FALSE(r.ok()) << c.line;
    EXPECT_NE(r.error.find(c.mention), std::string::npos) << c.line << " -> " << r.error;
  }
}

TEST(EngineCommandLine, OutputPlanFollowsTheTemplates) {
  auto plan = [](const std::string& line, OutputPlan& p) {
    ParseResult r = ParseCommandLine(split(line));
    EXPECT_TRUE(r.ok()) << r.error;
    return PlanOutput(r.options, p);
  };
  OutputPlan p;
  // Video off, audio kept: the later -of rawaudio wins, a .mp4 name keeps MP4.
  EXPECT_EQ(
      plan("a.avi -srate 44100 -oac lavc -lavcopts acodec=aac:abitrate=128 -ffourcc mp4v -of lavf "
           "-lavfopts format=mp4 -ovc frameno -of rawaudio -o x.mp4",
           p),
      "");
  EXPECT_FALSE(p.video);
  EXPECT_TRUE(p.audio);
  EXPECT_EQ(p.muxer, "mp4");
  EXPECT_EQ(plan("a.avi -oac lavc -lavcopts acodec=aac -ovc frameno -of rawaudio -o x.aac", p), "");
  EXPECT_EQ(p.muxer, "adts");

  EXPECT_EQ(plan("a.avi -srate 44100 -ovc frameno -oac mp3lame -lameopts cbr:br=128:mode=0 -of "
                 "rawaudio -o x.mp3",
                 p),
            "");
  EXPECT_EQ(p.audioEncoder, "libmp3lame");
  EXPECT_EQ(p.muxer, "mp3");

  // -nosound wins over a stray -oac.
  EXPECT_EQ(plan("a.avi -nosound -oac lavc -ovc lavc -lavcopts vcodec=h264 -of lavf -o x.mp4", p),
            "");
  EXPECT_TRUE(p.video);
  EXPECT_FALSE(p.audio);

  EXPECT_NE(plan("a.avi -nosound -ovc frameno -of rawaudio -o x.mp3", p).find("nothing to encode"),
            std::string::npos);
  EXPECT_NE(plan("a.avi -nosound -o x.mp3", p), "");
  EXPECT_NE(plan("a.avi -ovc lavc -lavcopts vcodec=theora -nosound -o x.mp4", p).find("theora"),
            std::string::npos);
}

TEST(EngineValues, TimesAndSizes) {
  EXPECT_DOUBLE_EQ(*ParseTimeValue("12.500000"), 12.5);
  EXPECT_DOUBLE_EQ(*ParseTimeValue("00:10:00"), 600);
  EXPECT_DOUBLE_EQ(*ParseTimeValue("02:03"), 123);
  EXPECT_DOUBLE_EQ(*ParseTimeValue("1:02:03.5"), 3723.5);
  EXPECT_FALSE(ParseTimeValue("1:75"));
  EXPECT_FALSE(ParseTimeValue("1:2:3:4"));
  EXPECT_FALSE(ParseTimeValue(""));

  auto size = [](const char* t) { return ParseEndPosition(t)->bytes; };
  EXPECT_EQ(size("650mb"), 650ull * 1024 * 1024);
  EXPECT_EQ(size("4.7gb"), static_cast<uint64_t>(4.7 * 1024 * 1024 * 1024));
  EXPECT_EQ(size("100KB"), 102400u);
  EXPECT_EQ(size("5000b"), 5000u);
  EXPECT_EQ(ParseEndPosition("00:10:00")->kind, EndKind::Duration);
  EXPECT_DOUBLE_EQ(ParseEndPosition("00:10:00")->seconds, 600);
  EXPECT_FALSE(ParseEndPosition("0mb"));
  EXPECT_FALSE(ParseEndPosition("mb"));
  EXPECT_FALSE(ParseEndPosition("0"));
  // Values whose byte count or tick count would not fit are refused, not wrapped.
  EXPECT_FALSE(ParseEndPosition("6E49mb"));
  EXPECT_FALSE(ParseEndPosition("1e300"));
  EXPECT_FALSE(ParseTimeValue("1e300"));
  EXPECT_TRUE(ParseEndPosition("3000gb"));
}

TEST(EngineValues, YuvSizeFromName) {
  EXPECT_EQ(SizeFromFileName("/a/foo_176x144.yuv"), (std::pair{176, 144}));
  EXPECT_EQ(SizeFromFileName("/720x576/clip-320X240-b.yuv"), (std::pair{320, 240}));
  EXPECT_FALSE(SizeFromFileName("/a/foo.yuv"));
  EXPECT_FALSE(SizeFromFileName("/a/box_x144.yuv"));
  EXPECT_FALSE(SizeFromFileName("/a/odd_175x144.yuv"));
  EXPECT_TRUE(IsRawYuvName("/a/B.YUV"));
  EXPECT_FALSE(IsRawYuvName("/a/yuv.avi"));
}

TEST(EngineFilters, SidewaysPicturesAreTurnedUpright) {
  // libavutil reads a telephone's portrait recording as -90 or 90 degrees.
  EXPECT_EQ(UprightFilters(-90), "transpose=clock");
  EXPECT_EQ(UprightFilters(90), "transpose=cclock");
  EXPECT_EQ(UprightFilters(-89.6), "transpose=clock");
  EXPECT_EQ(UprightFilters(180), "hflip,vflip");
  EXPECT_EQ(UprightFilters(-180), "hflip,vflip");
  EXPECT_EQ(UprightFilters(0), "");
  EXPECT_EQ(UprightFilters(-0.4), "");
  EXPECT_EQ(UprightFilters(360), "");
  EXPECT_EQ(UprightFilters(-45), "rotate=45*PI/180");
  EXPECT_EQ(UprightFilters(std::nan("")), "");
}

TEST(EngineFilters, ChannelRoutesBecomePan) {
  EXPECT_EQ(ChannelsToPan("2:2:0:0:0:1", 2).description, "pan=stereo|c0=c0|c1=c0");
  EXPECT_EQ(ChannelsToPan("2:2:1:0:1:1", 2).description, "pan=stereo|c0=c1|c1=c1");
  EXPECT_EQ(ChannelsToPan("1:1:0:0", 2).description, "pan=mono|c0=c0");
  EXPECT_EQ(ChannelsToPan("1:1:1:0", 2).description, "pan=mono|c0=c1");
  // A mono source has no right channel: take the one it has.
  EXPECT_EQ(ChannelsToPan("1:1:1:0", 1).description, "pan=mono|c0=c0");
  // Unrouted outputs are silent.
  EXPECT_EQ(ChannelsToPan("3:1:0:2", 2).description, "pan=3c|c0=0*c0|c1=0*c0|c2=c0");
  EXPECT_EQ(ChannelsToPan("2:2:0:0:0:1", 2).outputChannels, 2);
  EXPECT_NE(ChannelsToPan("2:2:0:0", 2).error, "");
  EXPECT_NE(ChannelsToPan("2:1:0:5", 2).error, "");

  EXPECT_EQ(PanToPan("1:0.5:0.5", 2).description, "pan=mono|c0=0.5*c0+0.5*c1");
  EXPECT_EQ(PanToPan("1:0.5:0.5", 1).description, "pan=mono|c0=0.5*c0");
  EXPECT_EQ(PanToPan("2:1:0:0:1", 2).description, "pan=stereo|c0=1*c0|c1=1*c1");
  EXPECT_NE(PanToPan("2:1:0:1", 2).error, "");
}

TEST(EngineFilters, VolumeAndNormalise) {
  EXPECT_EQ(VolumeToFilters("-20db:sc").description,
            "volume=-20dB,alimiter=limit=0.97:level=0:latency=1");
  EXPECT_EQ(VolumeToFilters("-20").description, "volume=-20dB");
  EXPECT_EQ(VolumeToFilters("+5db:sc").description,
            "volume=5dB,alimiter=limit=0.97:level=0:latency=1");
  EXPECT_NE(VolumeToFilters("loud").error, "");

  FilterChain c = TranslateAudioFilters("pan=1:0.5:0.5,volnorm", 2);
  EXPECT_EQ(c.description, "pan=mono|c0=0.5*c0+0.5*c1,dynaudnorm=f=100:g=15:b=1");
  EXPECT_EQ(c.outputChannels, 1);
  EXPECT_NE(TranslateAudioFilters("echo=1", 2).error.find("echo"), std::string::npos);
}

TEST(EngineFilters, ScaleAndExpandFitTheBox) {
  FilterChain c = TranslateVideoFilters("scale=320:-2,harddup,expand=320:240:-1:-1:1");
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(c.description,
            "scale=w='max(2,min(320,2*trunc(240*dar/2+0.5)))':"
            "h='max(2,min(240,2*trunc(320/dar/2+0.5)))',setsar=1,"
            "pad=w=320:h=240:x=(ow-iw)/2:y=(oh-ih)/2:color=black");
  // Inside a box the fixed side gives way too, so either request fits the
  // picture at its display aspect (an anamorphic 16:9 title asked for at 240
  // lines is letterboxed, not squeezed).
  EXPECT_EQ(TranslateVideoFilters("scale=-2:240,harddup,expand=320:240:-1:-1:1").description,
            c.description);
  EXPECT_NE(TranslateVideoFilters("scale=320").error, "");
  EXPECT_NE(TranslateVideoFilters("rotate=1").error.find("rotate"), std::string::npos);

  std::string g = VideoGraph("", 25, 1, 0);
  EXPECT_EQ(g.rfind("fps=fps=25/1:start_time=0", 0), 0u);
  EXPECT_NE(g.find("format=yuv420p"), std::string::npos);
  g = VideoGraph("", 30000, 1001, 1.5);
  EXPECT_EQ(g.rfind("fps=fps=30000/1001:", 0), 0u);
  EXPECT_NE(g.find("trim=end=1.5"), std::string::npos);
  EXPECT_EQ(AudioGraph("", 0, 44100, "fltp", "stereo"),
            "atrim=start=0,aresample=44100:async=1:first_pts=0,"
            "aformat=sample_fmts=fltp:sample_rates=44100:channel_layouts=stereo");
}

TEST(EngineOutput, TempFileSitsBesideTheOutput) {
  EXPECT_EQ(TempPathFor("/a/b/out.mp4", 42), "/a/b/.out.mp4.part-42");
  EXPECT_EQ(TempPathFor("out.mp3", 7), ".out.mp3.part-7");

  // Beside a name at the limit the mark still fits, cut on a character
  // boundary ("é" is two bytes).
  const std::string longName = std::string(240, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9.mp4";
  const std::string temp = TempPathFor("/o/" + longName, 123456, 255);
  const std::string name = temp.substr(3);
  EXPECT_LE(name.size(), 255u);
  EXPECT_EQ(name.substr(name.size() - 12), ".part-123456");
  EXPECT_EQ(name.substr(0, 241), "." + std::string(240, 'a'));
  EXPECT_NE(static_cast<unsigned char>(name[name.size() - 13]), 0xC3) << "cut inside a character";
  EXPECT_EQ(TempPathFor("/o/short.mp4", 1, 255), "/o/.short.mp4.part-1");
}

TEST(EngineVideo, H264LevelIsTheLowestThatFitsAtOrAboveTheRequest) {
  const AVRational pal{25, 1}, ntsc{30000, 1001};
  EXPECT_EQ(H264LevelFor(320, 240, pal, 768, 1, 13), 13);
  EXPECT_EQ(H264LevelFor(320, 240, pal, 1200, 1, 13), 20);   // 1.3 stops at 768 kbit/s
  EXPECT_EQ(H264LevelFor(320, 240, pal, 300, 1, 10), 13);    // 1.2 decodes only 6000 MB/s
  EXPECT_EQ(H264LevelFor(640, 480, ntsc, 1200, 1, 13), 30);  // 1200 MB at 29.97 fps
  EXPECT_EQ(H264LevelFor(720, 576, pal, 1200, 1, 13), 30);
  EXPECT_EQ(H264LevelFor(1280, 720, ntsc, 4000, 1, 13), 31);
  EXPECT_EQ(H264LevelFor(1920, 1080, pal, 8000, 1, 13), 40);
  EXPECT_EQ(H264LevelFor(1920, 1080, AVRational{60, 1}, 8000, 1, 13), 42);
  EXPECT_EQ(H264LevelFor(8192, 8192, pal, 1200, 1, 13), 0);             // beyond every level
  EXPECT_EQ(H264LevelFor(176, 144, AVRational{15, 1}, 100, 1, 10), 9);  // 1b: above 1's 64 kbit/s
  EXPECT_EQ(H264LevelFor(176, 144, pal, 100, 1, 10), 11);
  EXPECT_EQ(H264LevelBufferKbit(20), 2000);
}

TEST(EngineVideo, EncoderFrameRatesFitSixteenBits) {
  AVRational r = EncoderFrameRate(AVRational{30000, 1001});
  EXPECT_EQ(r.num, 30000);
  EXPECT_EQ(r.den, 1001);
  r = EncoderFrameRate(AVRational{2997003, 100000});  // a rate measured from timestamps
  EXPECT_LE(r.num, 65535);
  EXPECT_LE(r.den, 65535);
  EXPECT_NEAR(av_q2d(r), 29.97003, 1e-4);
  r = EncoderFrameRate(AVRational{0, 1});
  EXPECT_EQ(r.num, 25);
}
