// The device presets end to end: each preset's rows become an item's
// settings, its command line, and a real engine run on a DVD title or a
// telephone's portrait clip; the output is read back as a player sees it.
#include <algorithm>

#include "core/convert/encode_command.h"
#include "core/settings/device_presets.h"
#include "core/settings/item_values.h"
#include "tests/e2e/engine_harness.h"

namespace orv_engine_test {
namespace {

struct StreamSpan {
  double start = NAN;
  double end = NAN;
};

// First and last presentation time (plus the last packet's length) of the
// file's first stream of this kind ("v" or "a").
StreamSpan Span(const fs::path& file, const char* kind) {
  std::istringstream in(capture(std::string("ffprobe -v error -select_streams ") + kind +
                                ":0 -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                                file.string() + "'"));
  StreamSpan span;
  std::string line;
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    const double pts = std::atof(line.c_str());
    const double duration = std::atof(line.c_str() + comma + 1);
    if (std::isnan(span.start) || pts < span.start) span.start = pts;
    if (std::isnan(span.end) || pts + duration > span.end) span.end = pts + duration;
  }
  return span;
}

std::vector<double> ChapterStarts(const fs::path& file) {
  std::istringstream in(capture("ffprobe -v error -show_entries chapter=start_time -of csv=p=0 '" +
                                file.string() + "'"));
  std::vector<double> starts;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) starts.push_back(std::atof(line.c_str()));
  return starts;
}

// The EBML document type: "webm" or "matroska" ("" for other files).
std::string MatroskaDocType(const fs::path& file) {
  const std::string head = readText(file).substr(0, 64);
  if (head.find("webm") != std::string::npos) return "webm";
  if (head.find("matroska") != std::string::npos) return "matroska";
  return "";
}

orv::GridRows PresetRows(const std::string& name) {
  for (const orv::DevicePreset& p : orv::DevicePresets())
    if (p.name == name) return p.rows;
  ADD_FAILURE() << "no preset " << name;
  return orv::BuildGridRows();
}

struct Expected {
  std::string videoCodec, audioCodec, container;  // container: "mp4", "matroska", "webm"
  int width = 0, height = 0;
  double fps = 0, seconds = 0;
  std::vector<double> chapters;
};

class PresetOutputs : public EngineTest {
 protected:
  // The preset's stream part as the program builds it, for a source of this
  // picture size.
  std::string streamPart(const std::string& preset, int width, int height) {
    const auto values = orv::ParseItemValues(orv::TextsOfRows(PresetRows(preset)));
    EXPECT_TRUE(values) << preset;
    return orv::StreamPart(values.value_or(orv::ItemValues{}), width, height);
  }

  std::string dvdSource(int title, const char* chapters) const {
    return " dvd://" + std::to_string(title) + " -dvd-device \"" + media("disc") +
           "\" -chapter " + chapters + " ";
  }

  int run(const std::string& source, const std::string& stream, const std::string& range,
          const fs::path& out) {
    return runLine(source + stream + orv::PieceTail(range, out.string(), folderArg()));
  }

  void check(const fs::path& out, const Expected& e) {
    auto m = probe(out);
    EXPECT_EQ(str(m, "streams.stream.0.codec_name"), e.videoCodec);
    EXPECT_EQ(str(m, "streams.stream.1.codec_name"), e.audioCodec);
    EXPECT_EQ(num(m, "streams.stream.0.width"), e.width);
    EXPECT_EQ(num(m, "streams.stream.0.height"), e.height);
    const std::string rate = str(m, "streams.stream.0.avg_frame_rate");
    const auto slash = rate.find('/');
    ASSERT_NE(slash, std::string::npos) << rate;
    EXPECT_NEAR(std::atof(rate.c_str()) / std::atof(rate.c_str() + slash + 1), e.fps, 0.01);
    if (e.container == "mp4")
      EXPECT_NE(str(m, "format.format_name").find("mp4"), std::string::npos);
    else
      EXPECT_EQ(MatroskaDocType(out), e.container);

    const StreamSpan video = Span(out, "v"), audio = Span(out, "a");
    EXPECT_NEAR(video.end - video.start, e.seconds, 1.0 / e.fps + 1e-3) << "video length";
    EXPECT_NEAR(audio.start, video.start, 0.1) << "A/V start";
    EXPECT_NEAR(audio.end, video.end, 0.1) << "A/V end";
    EXPECT_TRUE(decodesCleanly(out));

    const std::vector<double> chapters = ChapterStarts(out);
    ASSERT_EQ(chapters.size(), e.chapters.size()) << out;
    for (size_t i = 0; i < chapters.size(); ++i) EXPECT_NEAR(chapters[i], e.chapters[i], 0.05);
  }
};

TEST_F(PresetOutputs, TvH265TagsHvc1AndKeepsAPortraitClipsChapters) {
  const fs::path out = dir_ / "tv.mp4";
  ASSERT_EQ(run(" \"" + media("phone.mp4") + "\" ", streamPart("TV 1080p H.265", 1080, 1920), "",
                out),
            0)
      << lastError_;
  check(out, {"hevc", "aac", "mp4", 608, 1080, 30, 3, {0, 1.5}});
  EXPECT_EQ(str(probe(out), "streams.stream.0.codec_tag_string"), "hvc1");
}

TEST_F(PresetOutputs, PhoneH264CutsTheClipsChaptersToItsPiece) {
  // The second of two pieces of 1.2 s: its marks are the chapters under way
  // from 1.2 s on, moved to the piece's start.
  const fs::path out = dir_ / "phone_clip_2.mp4";
  ASSERT_EQ(run(" \"" + media("phone.mp4") + "\" ", streamPart("Phone 1080p H.264", 1080, 1920),
                orv::RangeSeconds(1.2, 1.2), out),
            0)
      << lastError_;
  check(out, {"h264", "aac", "mp4", 608, 1080, 30, 1.2, {0, 0.3}});
}

TEST_F(PresetOutputs, WebVp9WebmFromADvdTitle) {
  const fs::path out = dir_ / "web.webm";
  ASSERT_EQ(run(dvdSource(1, "1-3"), streamPart("Web 720p VP9 WebM", 720, 576), "", out), 0)
      << lastError_;
  Expected e{"vp9", "opus", "webm", 960, 720, 25, 6, {}};
  e.chapters = ChapterStarts(out);  // WebM may keep them; not asked of it
  check(out, e);
}

TEST_F(PresetOutputs, ArchiveAv1MkvKeepsTheSourceSizeAndTheChosenChapters) {
  // Chapters 2-3 of title 1 (2 s to 6 s): marks at 0 and 2 s.
  const fs::path out = dir_ / "archive.mkv";
  ASSERT_EQ(run(dvdSource(1, "2-3"), streamPart("Archive AV1 MKV (constant quality)", 720, 576),
                "", out),
            0)
      << lastError_;
  check(out, {"av1", "opus", "matroska", 768, 576, 25, 4, {0, 2}});
}

TEST_F(PresetOutputs, Small480pFromATrimmedWideTitle) {
  // Title 2 (16:9, chapters at 0, 2, 6 s) trimmed to 1 s .. 7 s.
  const fs::path out = dir_ / "small.mp4";
  ASSERT_EQ(run(dvdSource(2, "1-3"), streamPart("Small 480p H.264", 720, 576),
                orv::RangeSeconds(1, 6), out),
            0)
      << lastError_;
  check(out, {"h264", "aac", "mp4", 854, 480, 25, 6, {0, 1, 5}});
}

TEST_F(PresetOutputs, WebmRefusesWhatItCannotHold) {
  const fs::path out = dir_ / "bad.webm";
  EXPECT_EQ(run(" \"" + media("phone.mp4") + "\" ",
                " -oac lavc -ovc lavc -lavcopts vcodec=h264:crf=23:vpreset=fast:acodec=opus "
                "-of lavf -lavfopts format=webm ",
                "", out),
            2);
  EXPECT_NE(lastError_.find("WebM holds VP9 or AV1 video only"), std::string::npos) << lastError_;
  EXPECT_EQ(run(" \"" + media("phone.mp4") + "\" ",
                " -oac lavc -ovc lavc -lavcopts vcodec=vp9:crf=70:acodec=opus -of lavf "
                "-lavfopts format=webm ",
                "", out),
            2);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace orv_engine_test
