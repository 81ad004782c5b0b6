// The engine on media with the traits of real-world files (made by
// make_realworld_media.sh): every output must last as long as its source,
// keep audio and video together and play without errors.
#include "tests/e2e/engine_harness.h"

namespace {

using namespace orv_engine_test;

// The middle parts of the four profiles as the GUI writes them.
const std::string kProfile0 = " -srate 44100 " + kLetterbox + kMpeg4Aac;
const std::string kProfile1 =
    " -srate 44100 -vf scale=640:-2,harddup,expand=640:480:-1:-1:1 " + kMpeg4Aac;
const std::string kProfile2 = " -srate 44100 " + kLetterbox + kH264Aac;
const std::string kProfile3 = " -srate 44100 " + kMp3;

double sourceDuration(const std::string& file) { return num(probe(file), "format.duration"); }

class RealWorldTest : public EngineTest {
 protected:
  // Encodes and checks what every output must satisfy: success, both
  // streams as long as each other, a clean decode, no temporary left.
  std::map<std::string, std::string> convert(const char* file, const std::string& middle,
                                             const char* ext = "mp4") {
    fs::path out = dir_ / (std::string("out.") + ext);
    fs::remove(out);
    EXPECT_EQ(encode(media(file), middle, out), 0) << file << ": " << lastError_;
    auto p = probe(out);
    if (!str(p, "streams.stream.1.codec_type").empty()) {
      EXPECT_NEAR(num(p, "streams.stream.0.duration"), num(p, "streams.stream.1.duration"), 0.1)
          << file << ": audio and video lengths differ";
    }
    EXPECT_TRUE(decodesCleanly(out)) << file;
    EXPECT_TRUE(noTempFiles()) << file;
    return p;
  }
  std::vector<int16_t> samples() { return pcm(dir_ / "out.mp3"); }
  // The length the ffmpeg tool gives the same source with the same kind of
  // output: the measure for sources whose length is a matter of judgement.
  std::map<std::string, std::string> ffmpegOutput(const char* file, const std::string& args,
                                                  const char* ext = "mp4") {
    const fs::path ref = dir_ / (std::string("ref.") + ext);
    capture("ffmpeg -nostdin -v quiet -y -i '" + media(file) + "' " + args + " '" + ref.string() +
            "' 2>&1");
    return probe(ref);
  }
  double ffmpegLength(const char* file, const std::string& args, const char* ext = "mp4") {
    return num(ffmpegOutput(file, args, ext), "format.duration");
  }
};

TEST_F(RealWorldTest, NtscRatesConvertInEveryProfileWithTheirRateAndLength) {
  struct Source {
    const char* file;
    const char* rate;
  } sources[] = {{"ntsc30.mp4", "30000/1001"}, {"ntsc24.avi", "24000/1001"}};
  for (const Source& s : sources) {
    const double length = sourceDuration(media(s.file));
    const double frame = 1001.0 / (std::string(s.rate) == "30000/1001" ? 30000 : 24000);
    for (const std::string& profile : {kProfile0, kProfile1, kProfile2}) {
      auto p = convert(s.file, profile);
      EXPECT_EQ(str(p, "streams.stream.0.r_frame_rate"), s.rate) << s.file;
      EXPECT_NEAR(num(p, "streams.stream.0.duration"), length, frame) << s.file;
      EXPECT_NEAR(num(p, "streams.stream.0.nb_frames"), length / frame, 1) << s.file;
    }
    auto p = convert(s.file, kProfile3, "mp3");
    EXPECT_NEAR(num(p, "format.duration"), length, 0.1) << s.file;
    // A chosen rate still wins.
    p = convert(s.file, " -ofps 29.97" + kProfile0);
    EXPECT_EQ(str(p, "streams.stream.0.r_frame_rate"), "2997/100") << s.file;
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), length, 1 / 29.97) << s.file;
  }
}

TEST_F(RealWorldTest, Mp3FilesOfEveryModeAndRateConvertWhole) {
  for (const char* mode : {"js", "st", "mono"}) {
    for (int rate : {48000, 44100, 32000, 22050, 11025}) {
      const std::string file = std::string(mode) + "_" + std::to_string(rate) + ".mp3";
      auto p = convert(file.c_str(), kProfile3, "mp3");
      EXPECT_NEAR(num(p, "format.duration"), 6.0, 0.1) << file;
      p = convert(file.c_str(), kProfile0);
      EXPECT_EQ(str(p, "streams.stream.0.codec_name"), "aac") << file;
      EXPECT_NEAR(num(p, "streams.stream.0.duration"), 6.0, 0.1) << file;
    }
  }
}

TEST_F(RealWorldTest, StillSectionHoldsThePictureUnderTheSound) {
  auto p = convert("still.vob", kProfile0);
  EXPECT_NEAR(num(p, "streams.stream.0.duration"), 7.0, 0.1);
  EXPECT_NEAR(num(p, "streams.stream.1.duration"), 7.0, 0.1);
}

TEST_F(RealWorldTest, EditListWithNegativeTimestampsKeepsItsLength) {
  const double length = sourceDuration(media("editlist.mp4"));
  ASSERT_NEAR(length, 4.7, 0.1);
  for (const std::string& profile : {kProfile0, kProfile2}) {
    auto p = convert("editlist.mp4", profile);
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), length, 0.04);
    EXPECT_NEAR(num(p, "streams.stream.0.nb_frames"), length * 25, 1);
  }
}

TEST_F(RealWorldTest, CutOffDownloadsConvertWhatIsThereAndSaySo) {
  for (int percent : {30, 60, 90}) {
    const std::string file = "cut" + std::to_string(percent) + ".mp4";
    auto p = convert(file.c_str(), kProfile0);
    const double length = num(p, "format.duration");
    EXPECT_GT(length, 8.0 * percent / 100 - 1.5) << file;
    EXPECT_LT(length, 8.0 * percent / 100 + 0.2) << file;
    EXPECT_NE(lastError_.find("orvantic-engine: warning: "), std::string::npos)
        << file << ": " << lastError_;
  }
}

TEST_F(RealWorldTest, AviWithoutIndexConvertsWhole) {
  for (const std::string& profile : {kProfile0, kProfile2}) {
    auto p = convert("noindex.avi", profile);
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), sourceDuration(media("indexed.avi")), 0.04);
  }
  auto p = convert("noindex.avi", kProfile3, "mp3");
  EXPECT_NEAR(num(p, "format.duration"), 6.0, 0.1);
}

TEST_F(RealWorldTest, JoinedRecordingsKeepBothParts) {
  auto p = convert("joined.ts", kProfile0);
  EXPECT_NEAR(num(p, "streams.stream.0.duration"), 6.0, 0.1);
  p = convert("joined.ts", kProfile3, "mp3");
  EXPECT_NEAR(num(p, "format.duration"), 6.0, 0.15);
}

TEST_F(RealWorldTest, AudioGapBecomesSilenceAndLaterSoundStaysInPlace) {
  auto p = convert("gap.ts", kProfile0);
  EXPECT_NEAR(num(p, "streams.stream.1.duration"), 7.0, 0.1);
  p = convert("gap.ts", kProfile3, "mp3");
  ASSERT_EQ(num(p, "streams.stream.0.channels"), 1);  // as the source
  std::vector<int16_t> s = samples();
  auto level = [&](double from, double to) {
    std::vector<int16_t> part(s.begin() + static_cast<long>(from * 44100),
                              s.begin() + static_cast<long>(to * 44100));
    return rms(part, 1, 0);
  };
  ASSERT_GT(s.size(), 6.9 * 44100);
  EXPECT_GT(level(0.5, 1.8), 1000);
  EXPECT_LT(level(2.2, 4.8), 50);
  EXPECT_GT(level(5.2, 6.5), 1000);
}

TEST_F(RealWorldTest, ShortSoundTracks) {
  // Under a longer picture the sound goes on in silence.
  auto p = convert("shortsound.asf", kProfile0);
  EXPECT_NEAR(num(p, "streams.stream.0.duration"), 5.0, 0.1);
  // Extracted on its own, it is as long as it is, without complaint.
  p = convert("shortsound.rm", kProfile3, "mp3");
  EXPECT_NEAR(num(p, "format.duration"), 1.5, 0.1);
  EXPECT_EQ(lastError_, "");
}

TEST_F(RealWorldTest, PortraitRecordingComesOutUpright) {
  // Stored 320x180 and sideways; upright it is 180x320 with the white band
  // along its bottom, so in the 320x240 box it stands between black pillars.
  auto p = convert("portrait.mp4", kProfile0);
  EXPECT_EQ(num(p, "streams.stream.0.width"), 320);
  EXPECT_EQ(num(p, "streams.stream.0.height"), 240);
  const std::string y = lumaOfFrame(dir_ / "out.mp4", 10);
  ASSERT_EQ(y.size(), 320u * 240u);
  auto at = [&](int x, int row) { return static_cast<unsigned char>(y[row * 320 + x]); };
  EXPECT_LT(at(20, 120), 40) << "left of the picture is a pillar";
  EXPECT_LT(at(300, 120), 40) << "right of the picture is a pillar";
  EXPECT_GT(at(160, 232), 200) << "the band lies along the bottom";
  EXPECT_LT(at(160, 10), 40) << "the top is dark";
}

TEST_F(RealWorldTest, DeclaredButEmptySoundTrackIsLeftOutWithAWarning) {
  const double reference = ffmpegLength("empty_audio.mp4", "-c:v mpeg4 -s 320x240");
  ASSERT_NEAR(reference, 2.27, 0.1);
  for (const std::string& profile : {kProfile0, kProfile1, kProfile2}) {
    auto p = convert("empty_audio.mp4", profile);
    EXPECT_EQ(str(p, "streams.stream.0.codec_type"), "video");
    EXPECT_EQ(str(p, "streams.stream.1.codec_type"), "") << "no sound track";
    EXPECT_NEAR(num(p, "format.duration"), reference, 1 / 15.0);
    EXPECT_NE(lastError_.find("orvantic-engine: warning: the audio stream #1 of the source holds "
                              "no data and is left out"),
              std::string::npos)
        << lastError_;
  }
  // Sound only from a source whose sound is empty: nothing to write.
  EXPECT_NE(encode(media("empty_audio.mp4"), kProfile3, dir_ / "out.mp3"), 0);
  EXPECT_NE(lastError_.find("no stream that this output can carry"), std::string::npos)
      << lastError_;
}

TEST_F(RealWorldTest, SoundThatChangesChannelsOrRateInMidStreamConvertsWhole) {
  // Mono, stereo, mono: 3 s each, without a gap or a jump at the joins.
  const double mp3Length = ffmpegLength("monostereo.mp3", "-c:a libmp3lame -b:a 128k", "mp3");
  ASSERT_NEAR(mp3Length, 9.0, 0.15);
  auto p = convert("monostereo.mp3", kProfile3, "mp3");
  EXPECT_NEAR(num(p, "format.duration"), mp3Length, 1152.0 / 44100);
  EXPECT_EQ(lastError_, "");
  std::vector<int16_t> s = samples();
  const int channels = static_cast<int>(num(p, "streams.stream.0.channels"));
  ASSERT_GT(s.size(), 8.5 * 44100 * channels);
  for (double join : {3.0, 6.0}) {
    for (double at = join - 0.2; at < join + 0.2; at += 0.05) {
      const auto from = s.begin() + static_cast<long>(at * 44100) * channels;
      std::vector<int16_t> part(from, from + 2205 * channels);
      EXPECT_GT(rms(part, channels, 0), 1000) << "silence near " << at << " s";
    }
  }
  p = convert("monostereo.mp3", kProfile0);
  EXPECT_NEAR(num(p, "streams.stream.0.duration"),
              num(ffmpegOutput("monostereo.mp3", "-c:a aac"), "streams.stream.0.duration"),
              1024.0 / 44100);

  // AC-3 in 5.1 at 48 kHz, stereo at 44.1 kHz, 5.1 again, under a picture.
  const auto ref = ffmpegOutput("ac3switch.ts", "-c:v mpeg4 -s 320x240 -c:a aac -ar 44100");
  const double videoLength = num(ref, "streams.stream.0.duration");
  const double soundLength = num(ref, "streams.stream.1.duration");
  ASSERT_NEAR(soundLength, 8.97, 0.05);
  for (const std::string& profile : {kProfile0, kProfile1, kProfile2}) {
    p = convert("ac3switch.ts", profile);
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), videoLength, 1 / 25.0 + 0.001);
    EXPECT_NEAR(num(p, "streams.stream.1.duration"), soundLength, 1024.0 / 44100);
  }
  // A bare MP3 stream also carries the encoder's delay, about one frame.
  p = convert("ac3switch.ts", kProfile3, "mp3");
  EXPECT_NEAR(num(p, "format.duration"), soundLength, 2 * 1152.0 / 44100);
}

TEST_F(RealWorldTest, PicturesThatChangeSizeOrChromaInMidStreamKeepTheirOutputSize) {
  // sizechange.ts: 320x240, then 352x288; chromachange.ts: 4:2:0, 4:2:2,
  // 4:2:0 (3 s each).
  for (const char* file : {"sizechange.ts", "chromachange.ts"}) {
    const auto ref = ffmpegOutput(file, "-c:v mpeg4 -s 320x240 -c:a aac -ar 44100");
    const double videoLength = num(ref, "streams.stream.0.duration");
    for (const std::string& profile : {kProfile0, kProfile1, kProfile2}) {
      auto p = convert(file, profile);
      EXPECT_EQ(num(p, "streams.stream.0.width"), profile == kProfile1 ? 640 : 320) << file;
      EXPECT_NEAR(num(p, "streams.stream.0.duration"), videoLength, 1 / 25.0 + 0.001) << file;
    }
    auto p = convert(file, kProfile3, "mp3");
    EXPECT_NEAR(num(p, "format.duration"), 6.0 + (file[0] == 'c' ? 3 : 0), 0.1) << file;
    // Padding alone, with no scaler ahead of it, is set up for one picture
    // size and format; the box stays as it started.
    p = convert(file, " -srate 44100 -vf expand=400:300:-1:-1:1 " + kMpeg4Aac);
    EXPECT_EQ(num(p, "streams.stream.0.width"), 400) << file;
    EXPECT_EQ(num(p, "streams.stream.0.height"), 300) << file;
    EXPECT_NEAR(num(p, "streams.stream.0.duration"), videoLength, 1 / 25.0 + 0.001) << file;
  }
  // The 4:2:2 part keeps its colours: a picture from it matches the ffmpeg
  // tool's, centred in the 400x300 box (give or take a frame at the joins).
  const auto frames = [](const std::string& source, const std::string& filter) {
    return capture("ffmpeg -nostdin -v error -i '" + source + "' " + filter +
                   " -pix_fmt yuv420p -f rawvideo -");
  };
  const std::string ours = frames((dir_ / "out.mp4").string(), "");
  const std::string theirs = frames(media("chromachange.ts"), "-vf pad=400:300:40:30");
  const size_t frame = 400 * 300 * 3 / 2;
  ASSERT_GT(ours.size(), 112 * frame);
  ASSERT_GT(theirs.size(), 112 * frame);
  double best = 255;
  for (size_t k : {109, 110, 111}) {
    double difference = 0;
    for (size_t i = 0; i < frame; ++i)
      difference += std::abs(static_cast<unsigned char>(ours[110 * frame + i]) -
                             static_cast<unsigned char>(theirs[k * frame + i]));
    best = std::min(best, difference / frame);
  }
  EXPECT_LT(best, 3.0);
}

TEST_F(RealWorldTest, OutputNameAtTheFileSystemLimit) {
  const fs::path out = dir_ / (std::string(251, 'n') + ".mp4");
  ASSERT_EQ(encode(media("ntsc30.mp4"), kProfile0, out), 0) << lastError_;
  EXPECT_NEAR(num(probe(out), "format.duration"), sourceDuration(media("ntsc30.mp4")), 0.05);
  EXPECT_TRUE(noTempFiles());
}

}  // namespace
