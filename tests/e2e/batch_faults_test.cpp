// Faults from outside during a batch run with the real engine: the engine
// killed, the output folder taken away, the settings file and the working
// folder read-only. What must hold each time: the run ends, a failed item is
// named with a reason and never counted as converted, the run goes on with
// the next item, no temporary file stays and no earlier output is replaced by
// a partial one. Also a full disk under the saved files: project, profile
// and settings file each keep their old contents.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "core/convert/batch_run.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "platform/ini_file.h"
#include "core/settings/app_settings.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "core/settings/project_file.h"
#include "core/settings/source_list.h"
#include "tests/e2e/real_engine_batch.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::RunCommand;
using test::NullHost;
using test::TempDir;

class Media : public ::testing::Environment {
 public:
  void SetUp() override {
    dir = std::make_unique<TempDir>();
    auto make = [&](const std::string& args, const std::string& name) {
      int status = 0;
      RunCommand("ffmpeg -nostdin -loglevel error -y " + args + " '" + dir->path() + name + "'",
                 &status);
      ASSERT_EQ(status, 0) << name;
    };
    make("-f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i "
         "sine=frequency=440:duration=3 -shortest -c:v mpeg4 -c:a mp3",
         "short.avi");
    // Long enough that a fault lands in the middle of its encode.
    make("-f lavfi -i testsrc=size=640x480:rate=25:duration=60 -f lavfi -i "
         "sine=frequency=300:duration=60 -shortest -c:v mpeg4 -c:a mp3",
         "long.avi");
  }
  void TearDown() override { dir.reset(); }
  static inline std::unique_ptr<TempDir> dir;
};
[[maybe_unused]] auto* const kMedia = ::testing::AddGlobalTestEnvironment(new Media);

std::string M(const std::string& name) { return Media::dir->path() + name; }

bool Playable(const std::string& file) {
  std::string out =
      RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'");
  return !out.empty() && std::atof(out.c_str()) > 0;
}

std::vector<std::string> TemporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().find(".part-") != std::string::npos)
      found.push_back(e.path().string());
  return found;
}

// Makes path read-only for this process: a read-only bind mount when running
// as root (whom permissions do not stop), else its write bits cleared. Undone
// by the destructor. ok() is false when neither is possible here.
class ReadOnly {
 public:
  explicit ReadOnly(const std::string& path) : path_(path) {
    if (geteuid() == 0) {
      mounted_ = mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
      if (mounted_ && mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                            nullptr) != 0) {
        umount(path.c_str());
        mounted_ = false;
      }
      ok_ = mounted_;
    } else {
      perms_ = fs::status(path).permissions();
      fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
      ok_ = true;
    }
  }
  ~ReadOnly() {
    if (mounted_) umount(path_.c_str());
    else if (ok_) fs::permissions(path_, perms_);
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false, mounted_ = false;
  fs::perms perms_{};
};

struct Faults : test::RealEngineBatch {
  int converted = 0;

  // Runs the list; `during` is called once the first engine has written a
  // position past one second, while it still runs.
  void Run(const std::function<void()>& during = {}) {
    BatchRun run(items, *link, host);
    ASSERT_TRUE(run.Convert(1));
    if (during) {
      EngineLink progress(inst, shell);
      progress.PrepareFolder(inst.programFolder);
      const auto deadline = std::chrono::steady_clock::now() + 60s;
      while (progress.ReadPosition() < 1.0 && run.ThreadRunning() &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
      EXPECT_TRUE(run.ThreadRunning()) << "the first item ended before the fault";
      during();
    }
    run.Join();
    failures = run.failures();
    converted = run.convertedCount();
    std::cout << "The run ends with: " << host.told << "\n";
  }
  int EnginePid() const {
    for (const auto& p : ListProcesses())
      if (p.path == inst.EngineLocation()) return p.pid;
    return -1;
  }
};

TEST_F(Faults, AKilledEngineFailsItsItemAndTheRunGoesOn) {
  Add(M("long.avi"), 1);
  Add(M("short.avi"));
  // An earlier output of the killed item's name, which must survive.
  test::WriteText(out / "long.mp4", "earlier output");
  Run([&] {
    const int pid = EnginePid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGKILL);
  });
  ASSERT_EQ(failures.size(), 1u) << host.told;
  EXPECT_EQ(failures[0].itemNumber, 1);
  EXPECT_FALSE(failures[0].reason.empty());
  EXPECT_NE(host.told.find("1: " + M("long.avi")), std::string::npos) << host.told;
  EXPECT_EQ(converted, 1);
  EXPECT_EQ(test::ReadText(out / "long.mp4"), "earlier output");
  EXPECT_TRUE(Playable(out / "short.mp4"));
  EXPECT_EQ(TemporaryFiles(out.path()), std::vector<std::string>{});
}

TEST_F(Faults, TheOutputFolderRemovedDuringTheRunFailsOnlyTheItemAtWork) {
  Add(M("long.avi"), 1);
  Add(M("short.avi"));
  Run([&] { fs::remove_all(out.path()); });
  EXPECT_EQ(converted, 1) << host.told;  // the folder comes back for the next item
  EXPECT_TRUE(Playable(out / "short.mp4")) << host.told;
  ASSERT_EQ(failures.size(), 1u) << host.told;
  EXPECT_EQ(failures[0].itemNumber, 1);
  for (const auto& f : failures) EXPECT_FALSE(f.reason.empty()) << f.itemNumber;
  EXPECT_NE(host.told.find(" - "), std::string::npos) << host.told;  // reasons are listed
  if (fs::exists(out.path())) {
    EXPECT_FALSE(fs::exists(out / "long.mp4"));
    EXPECT_EQ(TemporaryFiles(out.path()), std::vector<std::string>{});
  }
  fs::create_directories(out.path());  // for TempDir's clean-up
}

TEST_F(Faults, AReadOnlySettingsFileStillConvertsAndStaysAsItWas) {
  const std::string ini = work / "orvantic.ini";
  const std::string settings = "[GENERAL]\nOverWriteType=1\nOutputPath=" + out.path() + "\n";
  test::WriteText(ini, settings);
  ReadOnly locked(ini);
  if (!locked.ok()) GTEST_SKIP() << "cannot make a file read-only here";
  int status = -1;
  const std::string text = RunCommand("cd '" + work.path() + "' && ./orvantic --convert --profile 3 '" +
                                          M("short.avi") + "' 2>&1",
                                      &status);
  std::cout << "The console says:\n" << text;
  EXPECT_EQ(status, 0) << text;
  EXPECT_TRUE(Playable(out / "short.mp3")) << text;
  EXPECT_EQ(test::ReadText(ini), settings);
}

TEST_F(Faults, AReadOnlyWorkingFolderIsAFailureWithAReasonNotASuccess) {
  Add(M("short.avi"));
  {
    ReadOnly locked(work.path());
    if (!locked.ok()) GTEST_SKIP() << "cannot make a folder read-only here";
    Run();
  }
  // The engine cannot write its status files there: whatever the run makes of
  // that, it must not count the item as converted without an output.
  if (converted == 1) {
    EXPECT_TRUE(Playable(out / "short.mp4")) << host.told;
  } else {
    ASSERT_EQ(failures.size(), 1u) << host.told;
    EXPECT_FALSE(failures[0].reason.empty());
  }
  EXPECT_EQ(TemporaryFiles(out.path()), std::vector<std::string>{});

  // The program itself started from a folder it cannot write works from the
  // user's own folders instead (XDG_RUNTIME_DIR, XDG_CONFIG_HOME), so the
  // console converts and the stale answer lying in the program folder is
  // never read.
  ReadOnly locked(work.path());
  int status = -1;
  const std::string text = RunCommand(
      "cd '" + work.path() + "' && XDG_RUNTIME_DIR='" + out.path() + "run' XDG_CONFIG_HOME='" +
          out.path() + "config' ./orvantic --convert --output '" + out.path() + "' '" +
          M("short.avi") + "' 2>&1",
      &status);
  std::cout << "The console says (status " << status << "):\n" << text;
  EXPECT_EQ(status, 0) << text;
  EXPECT_TRUE(Playable(out / "short.mp4")) << text;
}

// A 64 KiB tmpfs on a folder for one test (root only), unmounted at the end.
// Fill() takes its last page: a write that needs one more then fails with
// ENOSPC, as on a full disk.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& folder) : folder_(folder) {
    fs::create_directories(folder);
    mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_ && umount(folder_.c_str()) != 0) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  void Fill() {
    const int fd = open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    while (write(fd, "f", 1) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(fd);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// More than one page of records, so that writing over the old file in place
// would need pages the disk does not have.
ItemList ManyItems(const std::string& source) {
  ItemList items;
  for (int i = 0; i < 40; ++i) {
    items.push_back(std::make_unique<SourceItem>());
    items.back()->sourcePath = source;
    items.back()->outputPath = "/out/" + std::string(200, 'o') + std::to_string(i) + ".mp4";
  }
  return items;
}

TEST(FullDisk, SavesFailWithTheReasonAndEveryOldFileStaysByteForByte) {
  TempDir work;
  const std::string disk = work / "disk";
  SmallDisk small(disk);
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string list = disk + "/list.vpt", profile = disk + "/mine.profile";
  const std::string ini = disk + "/orvantic.ini";
  test::WriteText(work / "a.avi", "x");
  ItemList one;
  one.push_back(std::make_unique<SourceItem>());
  one.back()->sourcePath = work / "a.avi";
  ASSERT_TRUE(SaveProjectFile(list, one));
  ASSERT_TRUE(SaveProfileFile(profile, BuildGridRows()));
  WriteSettings(AppSettings{kSkipExisting, "/films"}, ini);
  const std::string oldList = test::ReadText(list), oldProfile = test::ReadText(profile);
  const std::string oldIni = test::ReadText(ini);
  ASSERT_EQ(oldIni, "[GENERAL]\nOverWriteType=3\nOutputPath=/films\n");
  small.Fill();

  std::string reason;
  EXPECT_FALSE(SaveProjectFile(list, ManyItems(work / "a.avi"), &reason));
  EXPECT_EQ(reason, "No space left on device");
  GridRows rows = BuildGridRows();
  rows[kRowVideoSize].value = std::string(9000, 'v');
  EXPECT_FALSE(SaveProfileFile(profile, rows, &reason));
  EXPECT_EQ(reason, "No space left on device");
  EXPECT_FALSE(WriteProfileString(kSettingsSection, kOutputPathKey, "/elsewhere", ini));
  WriteSettings(AppSettings{kOverwrite, "/elsewhere"}, ini);
  EXPECT_EQ(test::ReadText(list), oldList);
  EXPECT_EQ(test::ReadText(profile), oldProfile);
  EXPECT_EQ(test::ReadText(ini), oldIni);

  // The console's --save-project: the same, and it says why.
  ItemList many = ManyItems(work / "a.avi");
  ASSERT_TRUE(SaveProjectFile(work / "big.vpt", many));
  fs::copy_file(ORV_ORVANTIC, work / "orvantic");
  int status = -1;
  const std::string text = RunCommand("cd '" + work.path() + "' && ./orvantic --save-project '" +
                                          list + "' '" + work / "big.vpt" + "' 2>&1",
                                      &status);
  EXPECT_EQ(status, 1) << text;
  EXPECT_NE(text.find("orvantic: cannot save " + list + ": No space left on device"),
            std::string::npos)
      << text;
  EXPECT_EQ(test::ReadText(list), oldList);
  EXPECT_EQ(Names(disk),
            (std::vector<std::string>{"filler", "list.vpt", "mine.profile", "orvantic.ini"}));
}

}  // namespace
}  // namespace orv
