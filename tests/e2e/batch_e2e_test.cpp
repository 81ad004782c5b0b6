// The batch run and the console mode end to end: the real engine on media
// made here with the ffmpeg tool, outputs checked with ffprobe.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/settings/source_list.h"
#include "core/convert/batch_run.h"
#include "core/link/identification.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/process_list.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "core/settings/project_file.h"
#include "tests/e2e/real_engine_batch.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::NullHost;
using test::TempDir;
using test::WriteText;

// Media shared by all tests, made once.
class Media : public ::testing::Environment {
 public:
  void SetUp() override {
    dir = std::make_unique<TempDir>();
    auto make = [&](const std::string& args, const std::string& name) {
      int status = 0;
      RunCommand("ffmpeg -nostdin -loglevel error -y " + args + " " + QuotePath(dir->path() + name),
                 &status);
      ASSERT_EQ(status, 0) << name;
    };
    make(
        "-f lavfi -i testsrc=size=320x240:rate=25:duration=7 -f lavfi -i "
        "sine=frequency=440:duration=7 -shortest -c:v mpeg4 -c:a mp3",
        "seven.avi");
    make(
        "-f lavfi -i testsrc=size=640x360:rate=25:duration=3 -f lavfi -i "
        "sine=frequency=600:duration=3 -shortest -c:v mpeg4 -c:a aac",
        "wide clip.mov");
    // Long and large enough that a stop lands in the middle of its encode.
    make(
        "-f lavfi -i testsrc=size=640x480:rate=25:duration=60 -f lavfi -i "
        "sine=frequency=300:duration=60 -shortest -c:v mpeg4 -c:a mp3",
        "long.avi");
    test::WriteText(dir->path() + "not media.avi", "this is not a video");
  }
  void TearDown() override { dir.reset(); }
  static std::string QuotePath(const std::string& p) { return "'" + p + "'"; }
  static inline std::unique_ptr<TempDir> dir;
};
[[maybe_unused]] auto* const kMedia = ::testing::AddGlobalTestEnvironment(new Media);

std::string M(const std::string& name) { return Media::dir->path() + name; }

double ProbeDuration(const std::string& file) {
  std::string out =
      RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'");
  return out.empty() ? -1 : std::atof(out.c_str());
}

std::string ProbeStreams(const std::string& file) {
  return RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                    file + "'");
}

struct E2E : test::RealEngineBatch {
  void Run() {
    BatchRun run(items, *link, host);
    run.Convert(1);
    run.Join();
    failures = run.failures();
  }
  std::string Console(const std::string& args, int* status) {
    return RunCommand("cd '" + work.path() + "' && ./orvantic --convert " + args + " 2>&1", status);
  }
};

TEST_F(E2E, AddingIdentifiesAndConvertingAMixedListWorks) {
  SourceItem& a = Add(M("seven.avi"));
  SourceItem& b = Add(M("wide clip.mov"), 2);
  EXPECT_NEAR(a.duration, 7.0, 0.2);
  EXPECT_EQ(a.videoWidth, 320);
  EXPECT_EQ(b.videoWidth, 640);
  AddContext ctx{out.path(), 0, "mp4", nullptr};
  EXPECT_EQ(AddFile(items, M("not media.avi"), ctx, *link), AddResult::NotIdentified);
  Run();
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(host.told, "Complete!");
  EXPECT_NEAR(ProbeDuration(out / "seven.mp4"), 7.0, 0.3);
  EXPECT_EQ(ProbeStreams(out / "seven.mp4"), "mpeg4,320,240\naac\n");
  EXPECT_NEAR(ProbeDuration(out / "wide clip.mp4"), 3.0, 0.3);
  EXPECT_EQ(ProbeStreams(out / "wide clip.mp4"), "h264,320,240\naac\n");
}

TEST_F(E2E, SplitByTimeGivesNumberedPiecesOfTheRightLength) {
  Add(M("seven.avi")).splitMode = "00:00:02";
  Run();
  EXPECT_TRUE(failures.empty());
  for (int k = 1; k <= 3; ++k)
    EXPECT_NEAR(ProbeDuration(out / ("seven_clip_" + std::to_string(k) + ".mp4")), 2.0, 0.25) << k;
  EXPECT_NEAR(ProbeDuration(out / "seven_clip_4.mp4"), 1.0, 0.25);
  EXPECT_FALSE(FileExists(out / "seven_clip_5.mp4"));
}

TEST_F(E2E, TrimAndMp3) {
  SourceItem& t = Add(M("seven.avi"));
  t.clipEnabled = 1;
  t.clipStartSeconds = 1.5;
  t.clipEndSeconds = 4.0;
  Add(M("wide clip.mov"), 3);
  Run();
  EXPECT_TRUE(failures.empty());
  EXPECT_NEAR(ProbeDuration(out / "seven.mp4"), 2.5, 0.2);
  EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format=format_name:stream=codec_name,"
                       "sample_rate -of csv=p=0 '" +
                       out / "wide clip.mp3" + "'"),
            "mp3,44100\nmp3\n");
}

TEST_F(E2E, StopDuringASplitEndsAfterTheRunningPieceWithAPlayableFile) {
  Add(M("long.avi"), 1).splitMode = "00:00:40";
  Add(M("seven.avi"));
  BatchRun run(items, *link, host);
  run.Convert(1);
  EngineLink progress(inst, shell);
  progress.PrepareFolder(inst.programFolder);
  while (progress.ReadPosition() < 1.0 && run.ThreadRunning())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(run.ThreadRunning());
  run.Stop();
  run.Join();
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  EXPECT_EQ(host.told.rfind(kStoppedMessage, 0), 0u) << host.told;
  // What the stopped engine wrote plays, under a name no later run takes for
  // a finished piece.
  EXPECT_GT(ProbeDuration(out / "long_clip_1.partial.mp4"), 0);
  EXPECT_FALSE(FileExists(out / "long_clip_1.mp4"));
  EXPECT_FALSE(FileExists(out / "long_clip_2.mp4"));
  EXPECT_FALSE(FileExists(out / "seven.mp4"));
}

TEST_F(E2E, ConsoleConvertsReportsAndExits) {
  int status = -1;
  std::string text = Console("--verbose --output '" + out.path() + "' '" + M("seven.avi") + "' '" +
                                 M("not media.avi") + "' '" + M("seven.avi") + "'",
                             &status);
  EXPECT_EQ(status, 1) << text;  // two of the three names could not be added
  EXPECT_NE(text.find(M("not media.avi") + ": not a media file"), std::string::npos) << text;
  EXPECT_NE(text.find(M("seven.avi") + ": already in the list"), std::string::npos) << text;
  EXPECT_NE(text.find("+ \"" + work / "orvantic-engine\" \"" + M("seven.avi") + "\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"  -vo null -nosound -identify -currentfolder \"" + work.path() + "\" "),
            std::string::npos)
      << text;  // identification runs are engine starts too
  EXPECT_NE(text.find("Complete!"), std::string::npos);
  EXPECT_NEAR(ProbeDuration(out / "seven.mp4"), 7.0, 0.3);

  // The output now exists: skipping it converts nothing and says so.
  text = Console("--overwrite 3 --output '" + out.path() + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 1) << text;
  text = Console("--overwrite 1 --profile 3 --output '" + out.path() + "' '" + M("seven.avi") + "'",
                 &status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_TRUE(FileExists(out / "seven.mp3"));
  // No terminal: the question is answered no.
  text = Console("--overwrite 2 --profile 3 --output '" + out.path() + "' '" + M("seven.avi") + "'",
                 &status);
  EXPECT_EQ(status, 1) << text;
  EXPECT_NE(text.find("already exists.Overwrite?"), std::string::npos) << text;
}

TEST_F(E2E, ConsoleTakesASavedProfile) {
  GridRows rows = BuildGridRows();
  rows[kRowFormat].value = "mp4";
  rows[kRowVideoCodec].value = "h264";
  rows[kRowVideoSize].value = "160x120";
  rows[kRowAudioChannel].value = "mixed mono";
  rows[kRowAudioSample].value = "22050";
  ASSERT_TRUE(SaveProfileFile(work / "small.profile", rows));
  int status = -1;
  std::string text = Console("--profile-file '" + work / "small.profile" + "' --output '" +
                                 out.path() + "' '" + M("seven.avi") + "'",
                             &status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=codec_name,width,channels,sample_rate"
                       " -of csv=p=0 '" + out / "seven.mp4" + "'"),
            "h264,160\naac,22050,1\n");

  // A damaged profile or one that names no known format stops before any work.
  WriteText(work / "cut.profile", ProfileBytes(rows).substr(0, 20));
  text = Console("--profile-file '" + work / "cut.profile" + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(text.find("past its end."), std::string::npos) << text;
  rows[kRowFormat].value = "avi";
  ASSERT_TRUE(SaveProfileFile(work / "avi.profile", rows));
  text = Console("--profile-file '" + work / "avi.profile" + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(text.find("Output format 'avi' is not one of mp4, mp3"), std::string::npos) << text;
  // A value slipped in to become an engine option is refused before any work.
  rows[kRowFormat].value = "mp4";
  rows[kRowAudioSample].value = "44100 -endpos 1";
  ASSERT_TRUE(SaveProfileFile(work / "sly.profile", rows));
  text = Console("--profile-file '" + work / "sly.profile" + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(text.find("Audio sample '44100 -endpos 1' is not a number"), std::string::npos)
      << text;
  text = Console("--profile-file '" + work / "none.profile" + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 2);
}

TEST_F(E2E, ConsoleTakesAShippedDevicePresetAndRefusesWhatAFormatCannotHold) {
  // The presets the build writes beside the program.
  const std::string preset =
      (std::filesystem::path(ORV_ORVANTIC).parent_path() / "profiles" / "Web 720p VP9 WebM.profile")
          .string();
  int status = -1;
  std::string text = Console("--profile-file '" + preset + "' --output '" + out.path() + "' '" +
                                 M("seven.avi") + "'",
                             &status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height"
                       " -of csv=p=0 '" + out / "seven.webm" + "'"),
            "vp9,960,720\nopus\n");

  GridRows rows = BuildGridRows();
  rows[kRowFormat].value = "webm";
  rows[kRowVideoCodec].value = "h264";
  ASSERT_TRUE(SaveProfileFile(work / "webm.profile", rows));
  text = Console("--profile-file '" + work / "webm.profile" + "' '" + M("seven.avi") + "'", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(text.find("Video codec 'h264' cannot be stored in WebM"), std::string::npos) << text;
}

// A project record laid down field by field in its stored order.
class RecordBytes {
 public:
  RecordBytes& S(const std::string& s) {
    bytes += static_cast<char>(s.size()) + s;  // every text here is under 255 bytes
    return *this;
  }
  RecordBytes& I(int32_t v) {
    for (int k = 0; k < 4; ++k) bytes += static_cast<char>((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF);
    return *this;
  }
  RecordBytes& D(double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int k = 0; k < 8; ++k) bytes += static_cast<char>((u >> (8 * k)) & 0xFF);
    return *this;
  }
  // One MPEG-4 item of a 7 s 320x240 source.
  RecordBytes& Item(const std::string& source, const std::string& output, int clip, double start,
                    double end, const std::string& split, const std::string& channel,
                    const std::string& volume) {
    S("no").S("1200").S("default").S("320x240").S("MPEG4").S("no").S(volume).S(channel);
    S("128").S("44100").S("aac").I(clip).D(end).D(start).S("00:00:00.00").S("00:00:07.00");
    S("mp4").S(split).S(source).S(output).D(7.0).I(0).I(320).I(240);
    I(0).I(0).I(0).I(0).I(0).I(0).I(0).I(0).S("1").S("31");
    return *this;
  }
  std::string bytes;
};

TEST_F(E2E, ConsoleConvertsAProjectWithItsStoredSettings) {
  RecordBytes project;
  project.I(4)
      .Item(M("seven.avi"), out / "trim.mp4", 1, 1.5, 4.0, "Not split", "default", "default")
      .Item(M("seven.avi"), out / "split.mp4", 0, 0, 7, "00:00:02", "default", "default")
      .Item(M("seven.avi"), out / "mono.mp4", 0, 0, 7, "Not split", "left mono", "-10")
      .Item(work / "gone.avi", out / "gone.mp4", 0, 0, 7, "Not split", "default", "default");
  WriteText(work / "list.vpt", project.bytes);
  int status = -1;
  const std::string text = Console("--verbose '" + work / "list.vpt" + "'", &status);
  EXPECT_EQ(status, 1) << text;  // the fourth item's source is gone
  EXPECT_NE(text.find(work / "gone.avi" + ": the source is not there; left out"), std::string::npos)
      << text;
  const std::string engine = "+ \"" + work / "orvantic-engine\" \"" + M("seven.avi") + "\"";
  const std::string rest =
      "-srate 44100  -vf scale=320:-2,harddup,expand=320:240:-1:-1:1  -oac lavc -ovc lavc "
      "-lavcopts acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:"
      "trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 -ffourcc mp4v -of lavf -lavfopts "
      "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames";
  const std::string folder = " -currentfolder \"" + work.path() + "\" ";
  const std::string expected[] = {
      engine + "   " + rest + " -ss 1.500000 -endpos 2.500000  -o \"" + out / "trim.mp4\"" + folder,
      engine + "   " + rest + " -ss 0 -endpos 00:00:02  -o \"" + out / "split_clip_1.mp4\"" + folder,
      engine + "   " + rest + " -ss 2.000000 -endpos 00:00:02  -o \"" + out / "split_clip_2.mp4\"" +
          folder,
      engine + "  -af channels=1:1:0:0,volume=-10db:sc " + rest + " -o \"" + out / "mono.mp4\"" +
          folder,
  };
  for (const std::string& line : expected) EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n\n" << text;
  EXPECT_NEAR(ProbeDuration(out / "trim.mp4"), 2.5, 0.2);
  for (int k = 1; k <= 3; ++k)
    EXPECT_NEAR(ProbeDuration(out / ("split_clip_" + std::to_string(k) + ".mp4")), 2.0, 0.25) << k;
  EXPECT_NEAR(ProbeDuration(out / "split_clip_4.mp4"), 1.0, 0.25);
  EXPECT_EQ(RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=channels -of "
                       "csv=p=0 '" + out / "mono.mp4" + "'"),
            "1\n");

  // --output moves the project's outputs; --save-project writes the list instead.
  const std::string saved = work / "again.vpt";
  const std::string text2 = Console("--save-project '" + saved + "' --output '" + work.path() +
                                        "' '" + work / "list.vpt" + "' '" + M("wide clip.mov") + "'",
                                    &status);
  ProjectContents contents;
  ASSERT_EQ(LoadProjectFile(saved, &contents), ProjectLoad::Ok) << text2;
  ASSERT_EQ(contents.items.size(), 4u);
  EXPECT_EQ(contents.items[0]->outputPath, work / "trim.mp4");
  EXPECT_EQ(contents.items[2]->audioVolume, "-10");
  EXPECT_EQ(contents.items[3]->sourcePath, M("wide clip.mov"));
  EXPECT_EQ(contents.items[3]->outputPath, work / "wide clip.mp4");
  EXPECT_FALSE(FileExists(work / "trim.mp4"));  // nothing converted
}

TEST_F(E2E, ConsoleUsageErrorsAndSecondInstance) {
  int status = -1;
  Console("--profile 9 x.avi", &status);
  EXPECT_EQ(status, 2);
  Console("", &status);
  EXPECT_EQ(status, 2);
  std::string help = RunCommand("'" + work / "orvantic" + "' --help", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(help.find("--convert"), std::string::npos);

  InstanceLock held(InstanceLockName(""));  // the test's ORVANTIC_INSTANCE_NAME
  ASSERT_TRUE(held.Held());
  std::string text = Console("'" + M("seven.avi") + "'", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(text.find("Already running!"), std::string::npos);
}

TEST_F(E2E, ConsoleCtrlCStopsTheRunLikeStop) {
  int status = -1;
  std::string text =
      RunCommand("cd '" + work.path() +
                     "' && timeout --preserve-status -s INT 1.5 ./orvantic --convert "
                     "--profile 1 --output '" +
                     out.path() + "' '" + M("long.avi") + "' '" + M("seven.avi") + "' 2>&1",
                 &status);
  EXPECT_EQ(status, 130) << text;
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  // The stopped item was finalised up to where it got, aside; the next never
  // started.
  EXPECT_GT(ProbeDuration(out / "long.partial.mp4"), 0);
  EXPECT_FALSE(FileExists(out / "long.mp4"));
  EXPECT_FALSE(FileExists(out / "seven.mp4"));
  EXPECT_NE(text.find("Stopped"), std::string::npos) << text;
  EXPECT_NE(text.find(out / "long.partial.mp4"), std::string::npos) << text;
}

TEST_F(E2E, FirstRunWritesTheSettingsFileBesideTheProgram) {
  int status = -1;
  // The output folder: the user's videos folder, made only when first used.
  RunCommand("env -u XDG_CONFIG_HOME -u XDG_VIDEOS_DIR HOME='" + work / "home" + "' '" +
                 work / "orvantic" + "' --help",
             &status);
  EXPECT_EQ(test::ReadText(work / "orvantic.ini"),
            "[GENERAL]\nOverWriteType=1\nOutputPath=" + work / "home/Videos\n");
  EXPECT_FALSE(fs::exists(work / "home/Videos"));
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// Each failed item is listed with the engine's own reason, not an exit code.
TEST_F(E2E, FailuresNameTheEnginesReason) {
  TempDir gone;
  fs::copy_file(M("seven.avi"), gone / "vanishing.avi");
  Add(gone / "vanishing.avi");
  SourceItem& tooLong = Add(M("wide clip.mov"));
  tooLong.outputPath = out / (std::string(300, 'w') + ".mp4");
  SourceItem& missingFolder = Add(M("seven.avi"), 3);
  missingFolder.outputPath = out / "new folder/seven.mp3";  // made by the run
  fs::remove(gone / "vanishing.avi");                       // removed after it was listed
  Run();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].itemNumber, 1);
  EXPECT_NE(failures[0].reason.find("no such file"), std::string::npos) << failures[0].reason;
  EXPECT_NE(failures[0].reason.find("vanishing.avi"), std::string::npos) << failures[0].reason;
  EXPECT_EQ(failures[1].itemNumber, 2);
  EXPECT_NE(failures[1].reason.find("File name too long"), std::string::npos) << failures[1].reason;
  EXPECT_EQ(failures[1].reason.find("part-"), std::string::npos) << "names the temporary file";
  EXPECT_NE(host.told.find("2: " + M("wide clip.mov") + " - cannot "), std::string::npos)
      << host.told;
  EXPECT_TRUE(FileExists(out / "new folder/seven.mp3"));
  for (const auto& entry : fs::directory_iterator(out.path()))
    EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos)
        << "temporary file left";
}

// A disk that fills up mid-run: the message says so and no partial file stays.
TEST_F(E2E, FullDiskIsReportedAsSuch) {
  TempDir small;
  int status = -1;
  RunCommand("mount -t tmpfs -o size=256k tmpfs '" + small.path() + "' 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "cannot mount a small tmpfs here";
  SourceItem& item = Add(M("long.avi"), 1);
  item.outputPath = small / "long.mp4";
  Run();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].reason.find("No space left on device"), std::string::npos)
      << failures[0].reason;
  EXPECT_TRUE(fs::is_empty(small.path()));
  RunCommand("umount '" + small.path() + "'", &status);
}

TEST_F(E2E, ConsoleListsReasonsAndVerboseShowsEngineMessages) {
  // Half of a file whose index comes first: converted, with a warning.
  int status = -1;
  RunCommand("ffmpeg -nostdin -loglevel error -y -i '" + M("seven.avi") +
                 "' -c copy -movflags +faststart '" + work / "indexed.mp4" + "'",
             &status);
  ASSERT_EQ(status, 0);
  RunCommand("head -c $(( $(stat -c %s '" + work / "indexed.mp4" + "') / 2 )) '" +
                 work / "indexed.mp4" + "' > '" + work / "cut.mp4" + "'",
             &status);
  std::string text = Console("--verbose --output '" + out.path() + "' '" + work / "cut.mp4" +
                                 "' '" + work / "absent.avi" + "'",
                             &status);
  EXPECT_EQ(status, 1) << text;  // absent.avi cannot be added
  EXPECT_NE(text.find("orvantic-engine: warning: the source ends at"), std::string::npos) << text;
  EXPECT_NE(text.find("Complete!"), std::string::npos) << text;
  double length = ProbeDuration(out / "cut.mp4");
  EXPECT_GT(length, 2.0);
  EXPECT_LT(length, 5.0);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The user's own files: a source in the output folder keeps its film.
TEST_F(E2E, ConsoleNeverWritesOverTheSource) {
  fs::copy_file(M("seven.avi"), out / "holiday.mp4");
  fs::create_directory_symlink(out.path(), work / "videos");
  const std::string before = test::ReadText(out / "holiday.mp4");
  int status = -1;
  const std::string text =
      Console("--output '" + work / "videos/." + "' '" + out / "holiday.mp4" + "'", &status);
  EXPECT_EQ(status, 0) << text;
  EXPECT_EQ(test::ReadText(out / "holiday.mp4"), before);
  EXPECT_NEAR(ProbeDuration(out / "holiday_1.mp4"), 7.0, 0.3) << text;

  // The engine itself refuses to write over what it reads.
  const std::string line = "'" + work / "orvantic-engine" + "' '" + out / "holiday.mp4" +
                           "' -ovc lavc -oac lavc -of lavf -o '" + work / "videos/holiday.mp4" +
                           "' -currentfolder '" + work.path() + "' 2>&1";
  const std::string said = RunCommand(line, &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(said.find("is the source"), std::string::npos) << said;
  EXPECT_EQ(test::ReadText(out / "holiday.mp4"), before);
}

// Started under a terminal of its own (script), asked the overwrite
// question, interrupted: it ends at once instead of waiting for Enter.
TEST_F(E2E, ConsoleCtrlCAtTheOverwriteQuestionEndsTheRun) {
  fs::copy_file(M("seven.avi"), out / "seven.mp4");
  const std::string pidFile = work / "console.pid", said = work / "said.txt";
  const std::string inner = "echo $$ > '" + pidFile + "'; exec ./orvantic --convert --overwrite 2 " +
                            "--output '" + out.path() + "' '" + M("seven.avi") + "'";
  RunCommand("cd '" + work.path() + "' && (script -qec \"" + inner + "\" /dev/null > '" + said +
             "' 2>&1 &)");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (test::ReadText(said).find("Overwrite?") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_NE(test::ReadText(said).find("Overwrite?"), std::string::npos) << test::ReadText(said);
  const pid_t pid = std::atoi(test::ReadText(pidFile).c_str());
  ASSERT_GT(pid, 0);
  ::kill(pid, SIGINT);
  bool ended = false;
  for (int i = 0; i < 200 && !ended; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ended = ::kill(pid, 0) != 0;
  }
  if (!ended) ::kill(pid, SIGKILL);
  EXPECT_TRUE(ended) << "still waiting for Enter after Ctrl-C";
  EXPECT_EQ(test::ReadText(out / "seven.mp4"), test::ReadText(M("seven.avi")));
}

// A window or console killed during a run leaves no engine converting.
TEST_F(E2E, NoEngineOutlivesAKilledProgram) {
  const std::string pidFile = work / "console.pid";
  RunCommand("cd '" + work.path() + "' && (./orvantic --convert --profile 1 --output '" +
             out.path() + "' '" + M("long.avi") + "' > /dev/null 2>&1 & echo $! > '" + pidFile +
             "')");
  const pid_t pid = std::atoi(test::ReadText(pidFile).c_str());
  ASSERT_GT(pid, 0);
  EngineLink progress(inst, shell);
  progress.PrepareFolder(inst.programFolder);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (progress.ReadPosition() < 1.0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(IsEngineRunning(inst.EngineLocation()));
  ::kill(pid, SIGKILL);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  // Its temporary file went with it; no output claims to be finished.
  EXPECT_FALSE(FileExists(out / "long.mp4"));
  for (const auto& entry : fs::directory_iterator(out.path()))
    EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

const char* const kInjected = " -endpos 1 -o ";

// Every stored settings text of a project item with an engine option slipped
// in: no file appears where the slipped-in option points, and each item is
// converted whole or left out naming its field.
TEST_F(E2E, StoredTextsNeverBecomeEngineOptions) {
  const std::pair<const char*, std::string SourceItem::*> fields[] = {
      {"Video disabled", &SourceItem::videoDisabled},   {"Video bitrate", &SourceItem::videoBitrate},
      {"Video frame rate", &SourceItem::videoFrameRate}, {"Video size", &SourceItem::videoSize},
      {"Video codec", &SourceItem::videoCodec},          {"Audio disabled", &SourceItem::audioDisabled},
      {"Audio volume", &SourceItem::audioVolume},        {"Audio channel", &SourceItem::audioChannel},
      {"Audio bitrate", &SourceItem::audioBitrate},      {"Audio sample", &SourceItem::audioSampleRate},
      {"Audio codec", &SourceItem::audioCodec},          {"Start time", &SourceItem::clipStartText},
      {"End time", &SourceItem::clipEndText},            {"Output format", &SourceItem::outputFormat},
      {"Split", &SourceItem::splitMode},                 {"quantizer min", &SourceItem::quantizerMin},
      {"quantizer max", &SourceItem::quantizerMax},
  };
  const std::string injected = out / "injected.mp4";
  ItemList items;
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    auto item = std::make_unique<SourceItem>();
    ApplyNewItemDefaults(2, *item);
    item->sourcePath = M("seven.avi");
    item->outputPath = out / ("item" + std::to_string(i + 1) + ".mp4");
    item->duration = item->clipEndSeconds = 7;
    item->videoWidth = 320;
    item->videoHeight = 240;
    item->clipStartText = "00:00:00.00";
    item->clipEndText = "00:00:07.00";
    (*item).*fields[i].second += kInjected + injected;
    items.push_back(std::move(item));
  }
  ASSERT_TRUE(SaveProjectFile(work / "sly.vpt", items));
  int status = -1;
  const std::string text = Console("'" + work / "sly.vpt" + "'", &status);
  EXPECT_EQ(status, 1) << text;
  EXPECT_FALSE(FileExists(injected)) << text;
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    const std::string named = "item " + std::to_string(i + 1) + ": " + fields[i].first + " '";
    const std::string output = out / ("item" + std::to_string(i + 1) + ".mp4");
    if (text.find(named) != std::string::npos) {
      EXPECT_FALSE(FileExists(output)) << fields[i].first;
    } else {
      EXPECT_NEAR(ProbeDuration(output), 7.0, 0.3) << fields[i].first << "\n" << text;
    }
  }
}

// The same for every row of a profile: refused naming the row, or a whole
// conversion.
TEST_F(E2E, ProfileRowsNeverBecomeEngineOptions) {
  const std::string injected = out / "injected.mp4";
  const GridRows built = BuildGridRows();
  for (std::size_t r = 0; r < built.size(); ++r) {
    GridRows rows = built;
    rows[r].value += kInjected + injected;
    ASSERT_TRUE(SaveProfileFile(work / "sly.profile", rows));
    fs::remove(out / "seven.mp4");
    int status = -1;
    const std::string text =
        Console("--overwrite 1 --output '" + out.path() + "' --profile-file '" +
                    work / "sly.profile" + "' '" + M("seven.avi") + "'",
                &status);
    EXPECT_FALSE(FileExists(injected)) << rows[r].caption << "\n" << text;
    if (status == 2) {
      EXPECT_NE(text.find(rows[r].caption + " '"), std::string::npos) << text;
    } else {
      EXPECT_EQ(status, 0) << rows[r].caption << "\n" << text;
      EXPECT_NEAR(ProbeDuration(out / "seven.mp4"), 7.0, 0.3) << rows[r].caption << "\n" << text;
    }
  }
}

}  // namespace
}  // namespace orv
