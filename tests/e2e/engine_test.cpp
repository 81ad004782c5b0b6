// End-to-end tests: the real orvantic-engine on media made by make_media.sh,
// checked with ffprobe/ffmpeg the way a player would see the output.
#include "tests/e2e/engine_harness.h"

namespace {

using namespace orv_engine_test;

// ---- identify --------------------------------------------------------------

struct IdentifyCase {
  const char* file;
  int width, height;
  double duration;
};

class IdentifyTest : public EngineTest, public testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyTest, ReportsSizeAndDuration) {
  const IdentifyCase& c = GetParam();
  ASSERT_EQ(identify(media(c.file)), 0) << lastError_;
  orv::MediaInfo info = readInfo(dir_);
  EXPECT_EQ(info.videoWidth, c.width);
  EXPECT_EQ(info.videoHeight, c.height);
  EXPECT_NEAR(info.durationSeconds, c.duration, 0.15);
  EXPECT_EQ(info.titleCount, 0);
  EXPECT_EQ(info.audioStreamIds[0], -1);
  EXPECT_EQ(info.audioStreamIds[orv::kMaxStreams - 1], -1);
  EXPECT_EQ(info.subtitleIds[0], -1);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, IdentifyTest,
    testing::Values(IdentifyCase{"white43.avi", 320, 240, 3},
                    IdentifyCase{"white54.mov", 320, 256, 3}, IdentifyCase{"clip.qt", 160, 120, 2},
                    IdentifyCase{"clip.dv", 720, 576, 1}, IdentifyCase{"white169.mp4", 320, 180, 3},
                    IdentifyCase{"clip_176x144.yuv", 176, 144, 2},
                    IdentifyCase{"plain.yuv", 352, 288, 1}, IdentifyCase{"clip.rm", 176, 144, 2},
                    IdentifyCase{"clip.rmvb", 176, 144, 2}, IdentifyCase{"clip.wmv", 160, 120, 2},
                    IdentifyCase{"clip.asf", 160, 120, 2}, IdentifyCase{"clip.mpg", 160, 120, 2},
                    IdentifyCase{"clip.mpeg", 160, 120, 2}, IdentifyCase{"clip.dat", 352, 288, 2},
                    IdentifyCase{"clip.vob", 352, 288, 2}, IdentifyCase{"audio_only.mp4", 0, 0, 2}),
    [](const testing::TestParamInfo<IdentifyCase>& i) {
      std::string n = i.param.file;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST_F(EngineTest, IdentifyOfUnreadableFilesWritesAnEmptyRecordAndFails) {
  for (const char* f :
       {"empty.mp4", "garbage.avi", "corrupt.mp4", "truncated.mp4", "missing.avi"}) {
    fs::remove(dir_ / orv::kMediaInfoFile);
    EXPECT_NE(identify(media(f)), 0) << f;
    orv::MediaInfo info = readInfo(dir_);
    EXPECT_EQ(info.durationSeconds, 0) << f;
    EXPECT_EQ(info.videoWidth, 0) << f;
    EXPECT_NE(lastError_, "") << f;
  }
}

// ---- templates ---------------------------------------------------------------

TEST_F(EngineTest, Mpeg4AacLetterboxesWideSources) {
  fs::path out = dir_ / "wide.mp4";
  ASSERT_EQ(
      encode(media("white169.mp4"), " -srate 44100 " + kLetterbox + " -ofps 25" + kMpeg4Aac, out),
      0)
      << lastError_;
  auto p = probe(out);
  EXPECT_NE(str(p, "format.format_name").find("mp4"), std::string::npos);
  EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "mpeg4");
  EXPECT_EQ(str(p, "streams.stream.0.codec_tag_string"), "mp4v");
  EXPECT_EQ(num(p, "streams.stream.0.width"), 320);
  EXPECT_EQ(num(p, "streams.stream.0.height"), 240);
  EXPECT_EQ(num(p, "streams.stream.0.has_b_frames"), 0);
  EXPECT_EQ(str(p, "streams.stream.1.codec_name"), "aac");
  EXPECT_EQ(num(p, "streams.stream.1.sample_rate"), 44100);
  EXPECT_NEAR(num(p, "streams.stream.1.bit_rate"), 128000, 16000);
  EXPECT_NEAR(num(p, "format.duration"), 3, 0.1);
  EXPECT_TRUE(decodesCleanly(out));

  // 320x180 inside 320x240: 30 black rows above and below.
  std::string y = lumaOfFrame(out);
  ASSERT_EQ(y.size(), 76800u);
  auto at = [&](int row, int col) { return static_cast<unsigned char>(y[row * 320 + col]); };
  for (int row : {2, 27, 212, 237}) EXPECT_LT(at(row, 160), 30) << "row " << row;
  for (int row : {33, 120, 206}) EXPECT_GT(at(row, 160), 220) << "row " << row;
}

TEST_F(EngineTest, H264AacPillarboxesNarrowSourcesAtBaselineInALevelThatFits) {
  fs::path out = dir_ / "narrow.mp4";
  ASSERT_EQ(
      encode(media("white54.mov"), " -srate 44100 " + kPillarbox + " -ofps 29.97" + kH264Aac, out),
      0)
      << lastError_;
  auto p = probe(out);
  EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "h264");
  EXPECT_NE(str(p, "streams.stream.0.profile").find("Baseline"), std::string::npos);
  // Level 1.3 allows 768 kbit/s; 1200 kbit/s at 320x240 first fits level 2.
  EXPECT_EQ(num(p, "streams.stream.0.level"), 20);
  EXPECT_EQ(num(p, "streams.stream.0.has_b_frames"), 0);
  EXPECT_EQ(str(p, "streams.stream.0.r_frame_rate"), "2997/100");
  EXPECT_EQ(str(p, "streams.stream.1.codec_name"), "aac");
  EXPECT_NEAR(num(p, "format.duration"), 3, 0.1);

  // 320x256 scaled to 300x240: 10 black columns each side.
  std::string y = lumaOfFrame(out);
  ASSERT_EQ(y.size(), 76800u);
  auto at = [&](int row, int col) { return static_cast<unsigned char>(y[row * 320 + col]); };
  for (int col : {1, 7, 312, 318}) EXPECT_LT(at(120, col), 30) << "col " << col;
  for (int col : {13, 160, 306}) EXPECT_GT(at(120, col), 220) << "col " << col;
}

TEST_F(EngineTest, VideoOnlyTemplatesHaveNoAudioAndNoBarsFor43) {
  for (const std::string& tmpl : {kMpeg4Only, kH264Only}) {
    fs::path out = dir_ / "silent.mp4";
    ASSERT_EQ(encode(media("white43.avi"), " -nosound " + kLetterbox + " -ofps 25" + tmpl, out), 0)
        << lastError_;
    auto p = probe(out);
    EXPECT_EQ(str(p, "streams.stream.1.codec_type"), "") << "unexpected second stream";
    EXPECT_EQ(str(p, "streams.stream.0.codec_type"), "video");
    EXPECT_EQ(num(p, "streams.stream.0.width"), 320);
    EXPECT_EQ(num(p, "streams.stream.0.height"), 240);
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), 3, 0.1);
    std::string y = lumaOfFrame(out);
    ASSERT_EQ(y.size(), 76800u);
    EXPECT_GT(static_cast<unsigned char>(y[2 * 320 + 160]), 220);
    EXPECT_GT(static_cast<unsigned char>(y[120 * 320 + 2]), 220);
  }
}

TEST_F(EngineTest, VideoBitrateFollowsTheRequest) {
  fs::path out = dir_ / "rate.mp4";
  ASSERT_EQ(encode(media("long.avi"),
                   " -srate 44100 " + kLetterbox + " -ofps 25" + kH264Aac +
                       " -ss 10.000000 -endpos 8.000000 ",
                   out),
            0)
      << lastError_;
  auto p = probe(out);
  EXPECT_NEAR(num(p, "streams.stream.0.bit_rate"), 1200000, 400000);
}

TEST_F(EngineTest, AudioOnlyMp4AndRawMp3) {
  fs::path m4 = dir_ / "sound.mp4";
  ASSERT_EQ(encode(media("white43.avi"), " -srate 44100 " + kAacOnly, m4), 0) << lastError_;
  auto p = probe(m4);
  EXPECT_NE(str(p, "format.format_name").find("mp4"), std::string::npos);
  EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "aac");
  EXPECT_EQ(str(p, "streams.stream.1.codec_name"), "");
  EXPECT_NEAR(num(p, "format.duration"), 3, 0.1);

  fs::path mp3 = dir_ / "sound.mp3";
  ASSERT_EQ(encode(media("white54.mov"), " -srate 44100 " + kMp3, mp3), 0) << lastError_;
  p = probe(mp3);
  EXPECT_EQ(str(p, "format.format_name"), "mp3");
  EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "mp3");
  EXPECT_EQ(num(p, "streams.stream.0.sample_rate"), 44100);
  EXPECT_EQ(num(p, "streams.stream.0.channels"), 2);
  EXPECT_EQ(num(p, "streams.stream.0.bit_rate"), 128000);
  EXPECT_NEAR(num(p, "format.duration"), 3, 0.1);
  // A bare stream: first bytes are an MPEG audio frame sync, not a tag.
  std::string head = readText(mp3).substr(0, 2);
  EXPECT_EQ(static_cast<unsigned char>(head[0]), 0xFF);
  EXPECT_TRUE(decodesCleanly(mp3));
}

TEST_F(EngineTest, NothingToEncodeIsAnError) {
  fs::path out = dir_ / "none.mp4";
  EXPECT_NE(encode(media("white43.avi"), " -nosound  XXX  -ovc frameno -of rawaudio ", out), 0);
  EXPECT_NE(lastError_.find("XXX"), std::string::npos);
  EXPECT_NE(encode(media("white43.avi"), " -nosound   -ovc frameno -of rawaudio ", out), 0);
  EXPECT_NE(lastError_, "");
  EXPECT_NE(encode(media("white43.avi"), " -nosound ", dir_ / "none.mp3"), 0);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(dir_ / "none.mp3"));
  EXPECT_TRUE(noTempFiles());
}

// ---- audio filters -------------------------------------------------------

struct AudioResult {
  std::vector<int16_t> samples;
  int channels = 0;
};

class AudioTest : public EngineTest {
 protected:
  AudioResult mp3With(const std::string& af) {
    fs::path out = dir_ / "a.mp3";
    fs::remove(out);
    int rc = encode(media("white43.avi"),
                    (af.empty() ? " " : " -af " + af) + " -srate 44100 " + kMp3, out);
    EXPECT_EQ(rc, 0) << af << ": " << lastError_;
    AudioResult r;
    r.channels = static_cast<int>(num(probe(out), "streams.stream.0.channels"));
    r.samples = pcm(out);
    return r;
  }
};

TEST_F(AudioTest, ChannelModesPickTheRightSide) {
  AudioResult plain = mp3With("");
  ASSERT_EQ(plain.channels, 2);
  EXPECT_NEAR(toneHz(plain.samples, 2, 0, 44100), 440, 30);
  EXPECT_NEAR(toneHz(plain.samples, 2, 1, 44100), 1000, 50);

  struct Mode {
    const char* af;
    int channels;
    double hz;
  } modes[] = {{"channels=2:2:0:0:0:1", 2, 440},
               {"channels=2:2:1:0:1:1", 2, 1000},
               {"channels=1:1:0:0", 1, 440},
               {"channels=1:1:1:0", 1, 1000}};
  for (const Mode& m : modes) {
    AudioResult r = mp3With(m.af);
    ASSERT_EQ(r.channels, m.channels) << m.af;
    for (int ch = 0; ch < m.channels; ++ch)
      EXPECT_NEAR(toneHz(r.samples, r.channels, ch, 44100), m.hz, 50) << m.af;
    if (m.channels == 2) {
      // Both outputs carry the same signal.
      std::vector<int16_t> diff;
      for (size_t i = 0; i + 1 < r.samples.size(); i += 2)
        diff.push_back(r.samples[i] - r.samples[i + 1]);
      EXPECT_LT(rms(diff, 1, 0), 0.05 * rms(r.samples, 2, 0)) << m.af;
    }
  }

  AudioResult mixed = mp3With("pan=1:0.5:0.5");
  ASSERT_EQ(mixed.channels, 1);
  // Half of each tone: neither channel alone, and about half their level.
  double expected = std::sqrt(0.25 * rms(plain.samples, 2, 0) * rms(plain.samples, 2, 0) +
                              0.25 * rms(plain.samples, 2, 1) * rms(plain.samples, 2, 1));
  EXPECT_NEAR(rms(mixed.samples, 1, 0), expected, 0.15 * expected);
}

TEST_F(AudioTest, VolumeAndNormaliseChangeTheLevel) {
  AudioResult plain = mp3With("channels=1:1:0:0");
  double base = rms(plain.samples, 1, 0);
  ASSERT_GT(base, 1000);

  AudioResult quieter = mp3With("channels=1:1:0:0,volume=-20db:sc");
  EXPECT_NEAR(20 * std::log10(rms(quieter.samples, 1, 0) / base), -20, 1.5);

  // +5 dB on a half-scale tone would peak near 1.78x; the limiter holds it
  // under full scale so it must not clip.
  AudioResult louder = mp3With("channels=1:1:0:0,volume=5db:sc");
  EXPECT_GT(20 * std::log10(rms(louder.samples, 1, 0) / base), 2);
  size_t clipped = 0;
  for (int16_t s : louder.samples) clipped += (s >= 32767 || s <= -32768);
  EXPECT_LT(clipped, louder.samples.size() / 1000);

  AudioResult normal = mp3With("channels=1:1:0:0,volnorm");
  EXPECT_GT(20 * std::log10(rms(normal.samples, 1, 0) / base), 3);
}

// ---- ranges ------------------------------------------------------------

// ramp.mp4: frame n has luma (4n mod 256).
TEST_F(EngineTest, TrimPiecesStartOnTheRightFrameAndLastTheRightTime) {
  struct Piece {
    const char* range;
    int firstFrame;
    double length;
  } pieces[] = {{" -ss 0 -endpos 1.000000 ", 0, 1.0},
                {" -ss 2.000000 -endpos 1.500000 ", 50, 1.5},
                {" -ss 1.200000 -endpos 00:02 ", 30, 2.0},
                {" -ss 4.000000 -endpos 00:00:30 ", 100, 2.0}};  // runs past the end: rest of file
  for (const Piece& piece : pieces) {
    fs::path out = dir_ / "piece.mp4";
    ASSERT_EQ(encode(media("ramp.mp4"),
                     " -srate 44100 " + kLetterbox + " -ofps 25" + kH264Aac + piece.range, out),
              0)
        << piece.range << lastError_;
    auto p = probe(out);
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), piece.length, 0.1) << piece.range;
    EXPECT_NEAR(num(p, "streams.stream.1.duration"), piece.length, 0.1) << piece.range;
    EXPECT_NEAR(num(p, "streams.stream.0.start_time"), 0, 0.01) << piece.range;
    // Frames before the start must be dropped, not hidden behind an edit list.
    EXPECT_NEAR(num(p, "streams.stream.0.nb_frames"), piece.length * 25, 1) << piece.range;
    std::string y = lumaOfFrame(out);
    ASSERT_EQ(y.size(), 76800u);
    int expected = (piece.firstFrame * 4) % 256;
    EXPECT_NEAR(static_cast<unsigned char>(y[120 * 320 + 160]), expected, 2) << piece.range;
  }
}

TEST_F(EngineTest, SizeLimitedPiecesStayUnderTheLimitAndPlay) {
  for (const char* limit : {"300kb", "0.4mb"}) {
    fs::path out = dir_ / "sized.mp4";
    ASSERT_EQ(encode(media("long.avi"),
                     std::string(" -srate 44100 ") + kLetterbox + " -ofps 25" + kH264Aac +
                         " -ss 30.000000 -endpos " + limit + " ",
                     out),
              0)
        << lastError_;
    uintmax_t bytes = fs::file_size(out);
    uintmax_t max =
        std::string(limit) == "300kb" ? 300 * 1024 : static_cast<uintmax_t>(0.4 * 1024 * 1024);
    EXPECT_LE(bytes, max) << limit;
    EXPECT_GT(bytes, max * 8 / 10) << limit << ": limit used poorly";
    auto p = probe(out);
    EXPECT_GT(num(p, "format.duration"), 1) << limit;
    EXPECT_TRUE(decodesCleanly(out)) << limit;
  }
}

// ---- control ------------------------------------------------------------

bool waitFor(const std::function<bool()>& ready, std::chrono::seconds limit = 20s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

TEST_F(EngineTest, PauseHoldsResumeMovesOnStopFinalises) {
  fs::path out = dir_ / "stopped.mp4";
  writeCommand(dir_, orv::EngineCommand::Run);
  Engine e = startLine(" \"" + media("long.avi") + "\"  -srate 44100 " + kLetterbox + " -ofps 25" +
                       kMpeg4Aac + " -o \"" + out.string() + "\"" + folderArg());
  ASSERT_TRUE(waitFor([&] { return readPosition(dir_) > 0.5; })) << "no progress reported";

  writeCommand(dir_, orv::EngineCommand::Pause);
  std::this_thread::sleep_for(300ms);
  double held = readPosition(dir_);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(readPosition(dir_), held) << "position moved while paused";
  EXPECT_LT(held, 110) << "encode finished before it could be paused";

  writeCommand(dir_, orv::EngineCommand::Run);
  EXPECT_TRUE(waitFor([&] { return readPosition(dir_) > held + 0.5; })) << "did not resume";

  writeCommand(dir_, orv::EngineCommand::Stop);
  EXPECT_EQ(e.wait(20s), 0) << e.stderrText();
  ASSERT_TRUE(fs::exists(out));
  auto p = probe(out);
  EXPECT_GT(num(p, "format.duration"), held);
  EXPECT_LT(num(p, "format.duration"), 115);
  EXPECT_TRUE(decodesCleanly(out));
  EXPECT_TRUE(noTempFiles());
}

TEST_F(EngineTest, StopLeftOverFromIdentifyDoesNotCutTheNextEncode) {
  ASSERT_EQ(identify(media("white43.avi")), 0);  // leaves Stop in vctrl.dat
  fs::path out = dir_ / "full.mp4";
  ASSERT_EQ(
      encode(media("white43.avi"), " -srate 44100 " + kLetterbox + " -ofps 25" + kMpeg4Aac, out), 0)
      << lastError_;
  EXPECT_NEAR(num(probe(out), "format.duration"), 3, 0.1);
  EXPECT_NEAR(readPosition(dir_), 3, 0.1);
}

TEST_F(EngineTest, TerminatedEncodeLeavesNoFiles) {
  fs::path out = dir_ / "killed.mp4";
  Engine e = startLine(" \"" + media("long.avi") + "\"  -srate 44100 " + kLetterbox + " -ofps 25" +
                       kH264Aac + " -o \"" + out.string() + "\"" + folderArg());
  ASSERT_TRUE(waitFor([&] { return readPosition(dir_) > 0.5; }));
  kill(e.pid, SIGTERM);
  EXPECT_NE(e.wait(20s), 0);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_TRUE(noTempFiles());
}

// ---- failures --------------------------------------------------------------

TEST_F(EngineTest, BrokenInputsFailCleanlyAndKeepEarlierOutput) {
  fs::path out = dir_ / "keep.mp4";
  for (const char* f : {"empty.mp4", "garbage.avi", "corrupt.mp4", "truncated.mp4"}) {
    std::ofstream(out) << "earlier output";
    int rc = encode(media(f), " -srate 44100 " + kLetterbox + " -ofps 25" + kMpeg4Aac, out);
    EXPECT_NE(rc, 0) << f;
    EXPECT_LT(rc, 128) << f << " crashed";
    EXPECT_EQ(readText(out), "earlier output") << f;
    EXPECT_TRUE(noTempFiles()) << f;
    // One line naming the problem.
    EXPECT_NE(lastError_, "") << f;
    EXPECT_EQ(std::count(lastError_.begin(), lastError_.end(), '\n'), 1) << f << ": " << lastError_;
  }
}

TEST_F(EngineTest, BadCommandLinesProduceNoOutput) {
  fs::path out = dir_ / "bad.mp4";
  const std::string src = media("white43.avi");
  struct Case {
    std::string middle;
    const char* mention;
  } cases[] = {
      {" -srate 44100 -frobnicate " + kMpeg4Aac, "-frobnicate"},
      {" -srate 44100 -oac lavc -ovc lavc -lavcopts vcodec=mpeg4:warp=9 -of lavf", "warp"},
      {" -srate 44100 " + kMpeg4Aac + " -ss 0 -endpos 12parsecs ", "-endpos"},
      {" -af channels=2:9 -srate 44100 " + kMpeg4Aac, "channels"},
      {" -srate 44100 -vf scale=320:-2,wobble=1 " + kMpeg4Aac, "wobble"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(encode(src, c.middle, out), 0) << c.middle;
    EXPECT_NE(lastError_.find(c.mention), std::string::npos) << lastError_;
    EXPECT_FALSE(fs::exists(out)) << c.middle;
    EXPECT_TRUE(noTempFiles());
  }
}

TEST_F(EngineTest, DvdIsRefusedForNowAndAnEmptyTaskIsAnError) {
  fs::path out = dir_ / "dvd.mp4";
  EXPECT_NE(runLine(" dvd://1 -dvd-device \"/dev/null\" -chapter 1-2  -aid 128  -srate 44100 " +
                    kMpeg4Aac + " -o \"" + out.string() + "\"" + folderArg()),
            0);
  EXPECT_NE(lastError_.find("DVD"), std::string::npos) << lastError_;
  EXPECT_FALSE(fs::exists(out));

  // Neither identify, nor an output, nor a window to play in.
  EXPECT_EQ(
      runLine(" \"" + media("white43.avi") + "\" -vo xv -ao pulse -slave -framedrop" + folderArg()),
      2);
  EXPECT_NE(lastError_.find("-wid"), std::string::npos) << lastError_;
}

}  // namespace
