// The engine's side of the newer outputs: which encoders and muxers an
// option line asks for, what it refuses, and the chapter marks of a range.
#include <gtest/gtest.h>

#include "engine/encode/chapters.h"
#include "engine/options.h"
#include "platform/command_line.h"

namespace orv::engine {
namespace {

std::string Plan(const std::string& line, OutputPlan& plan, Options* parsed = nullptr) {
  ParseResult r = ParseCommandLine(SplitCommandLine(line));
  if (!r.ok()) return r.error;
  if (parsed) *parsed = r.options;
  return PlanOutput(r.options, plan);
}

TEST(EngineOutputs, CodecsAndContainersResolveToTheirLibraries) {
  OutputPlan p;
  Options o;
  ASSERT_EQ(Plan("a.mp4 -oac lavc -ovc lavc -lavcopts vcodec=hevc:crf=24:vpreset=fast:acodec=aac "
                 "-ffourcc hvc1 -of lavf -lavfopts format=mp4:chapters -o x.mp4",
                 p, &o),
            "");
  EXPECT_EQ(p.videoEncoder, "libx265");
  EXPECT_EQ(p.muxer, "mp4");
  EXPECT_EQ(o.lavc.crf, 24);
  EXPECT_EQ(o.lavc.vpreset, "fast");
  EXPECT_TRUE(o.chapters);
  ASSERT_EQ(Plan("a.mp4 -oac lavc -ovc lavc -lavcopts vcodec=av1:crf=30:vpreset=8:acodec=opus "
                 "-of lavf -lavfopts format=matroska -o x.mkv",
                 p, &o),
            "");
  EXPECT_EQ(p.videoEncoder, "libsvtav1");
  EXPECT_EQ(p.audioEncoder, "libopus");
  EXPECT_FALSE(o.chapters);
  ASSERT_EQ(Plan("a.mp4 -oac lavc -ovc lavc -lavcopts vcodec=vp9:vbitrate=900:acodec=opus -of lavf "
                 "-lavfopts format=webm -o x.webm",
                 p),
            "");
  EXPECT_EQ(p.videoEncoder, "libvpx-vp9");
  EXPECT_EQ(p.muxer, "webm");
}

TEST(EngineOutputs, RefusalsSayWhy) {
  OutputPlan p;
  const std::pair<const char*, const char*> cases[] = {
      {"-oac lavc -ovc lavc -lavcopts vcodec=h264:acodec=opus -of lavf -lavfopts format=webm",
       "WebM holds VP9 or AV1 video only, not libx264"},
      {"-oac lavc -ovc lavc -lavcopts vcodec=vp9:acodec=aac -of lavf -lavfopts format=webm",
       "WebM holds Opus audio only, not aac"},
      {"-nosound -ovc lavc -lavcopts vcodec=mpeg4:crf=5 -of lavf", "has no constant quality"},
      {"-nosound -ovc lavc -lavcopts vcodec=hevc:crf=60 -of lavf",
       "crf=60 is outside 0-51, the range of libx265"},
      {"-nosound -ovc lavc -lavcopts vcodec=av1:crf=0 -of lavf", "outside 1-63"},
      {"-nosound -ovc lavc -lavcopts vcodec=av1:vpreset=fast -of lavf",
       "vpreset=fast is no preset of the libsvtav1 encoder"},
      {"-nosound -ovc lavc -lavcopts vcodec=hevc:vpreset=8 -of lavf", "no preset of the libx265"},
      {"-nosound -ovc lavc -lavcopts vcodec=vp9:vpreset=-1 -of lavf", "invalid -lavcopts value"},
      {"-nosound -ovc lavc -lavcopts vcodec=vp9:crf=64 -of lavf", "invalid -lavcopts value"},
  };
  for (const auto& [middle, reason] : cases) {
    const std::string error = Plan(std::string("a.mp4 ") + middle + " -o x", p);
    EXPECT_NE(error.find(reason), std::string::npos) << middle << " -> " << error;
  }
}

TEST(EngineOutputs, ChaptersAreCutToTheRangeAndMovedToItsStart) {
  const std::vector<ChapterMark> source{{0, 2, "A"}, {2, 6, "B"}, {6, 9, "C"}};
  auto starts = [](const std::vector<ChapterMark>& marks) {
    std::vector<double> s;
    for (const auto& m : marks) s.push_back(m.start);
    return s;
  };
  EXPECT_EQ(starts(ChaptersInRange(source, 0, 0)), (std::vector<double>{0, 2, 6}));
  // A trim from 1 s for 6 s: A under way at the start, C cut at the end.
  const auto trimmed = ChaptersInRange(source, 1, 6);
  EXPECT_EQ(starts(trimmed), (std::vector<double>{0, 1, 5}));
  EXPECT_EQ(trimmed.back().end, 6);
  EXPECT_EQ(trimmed.front().title, "A");
  // A piece that only touches a chapter leaves it out.
  EXPECT_EQ(starts(ChaptersInRange(source, 2, 3.99)), (std::vector<double>{0}));
  const auto late = ChaptersInRange(source, 1.98, 4);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_NEAR(late[0].start, 0.02, 1e-9);
  EXPECT_TRUE(ChaptersInRange(source, 9, 0).empty());
}

}  // namespace
}  // namespace orv::engine
