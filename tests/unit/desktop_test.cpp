// The installed-copy rules (where settings and working files go), the lock
// name per working folder, the paths a drop adds, and the time-left estimate.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/list/file_arguments.h"
#include "core/convert/eta.h"
#include "platform/installation.h"
#include "platform/instance_lock.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteText;

InstallationInputs Inputs(const TempDir& dir, const std::string& exe) {
  InstallationInputs in;
  in.executableFolder = exe;
  in.configHomeVariable = dir / "config";
  in.runtimeDirVariable = dir / "run";
  in.homeVariable = dir / "home";
  in.tempFolder = dir / "tmp";
  in.userId = ::getuid();
  fs::create_directories(dir / "tmp");
  return in;
}

TEST(Installation, AWritableProgramFolderKeepsEverythingBesideTheProgram) {
  TempDir dir;
  WriteText(dir / "orvantic-engine", "");
  const Installation inst = ResolveInstallation(Inputs(dir, dir.path()));
  EXPECT_EQ(inst.programFolder, dir.path());
  EXPECT_EQ(inst.SettingsFilePath(), dir / "orvantic.ini");
  EXPECT_EQ(inst.EngineLocation(), dir / "orvantic-engine");
  EXPECT_EQ(inst.HelpFilePath(), dir / "help.html");
  EXPECT_FALSE(fs::exists(dir / "config"));
}

TEST(Installation, AnInstalledCopyKeepsSettingsAndWorkingFilesPerUser) {
  TempDir dir;
  const std::string bin = dir / "usr/bin/";
  fs::create_directories(bin);
  fs::create_directories(dir / "usr/libexec/orvantic");
  fs::create_directories(dir / "usr/share/orvantic");
  WriteText(dir / "usr/libexec/orvantic/orvantic-engine", "");
  WriteText(dir / "usr/share/orvantic/help.html", "");
  InstallationInputs in = Inputs(dir, bin);
  const Installation inst = ResolveInstallation(in);
  EXPECT_EQ(inst.SettingsFilePath(), dir / "config/orvantic/orvantic.ini");
  EXPECT_EQ(inst.programFolder, dir / "run/orvantic/");
  EXPECT_EQ(inst.EngineLocation(), dir / "usr/libexec/orvantic/orvantic-engine");
  EXPECT_EQ(inst.HelpFilePath(), dir / "usr/share/orvantic/help.html");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "run/orvantic").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Without XDG variables: ~/.config and a private folder under /tmp.
  in.configHomeVariable.clear();
  in.runtimeDirVariable = "relative/is/ignored";
  const Installation bare = ResolveInstallation(in);
  EXPECT_EQ(bare.SettingsFilePath(), dir / "home/.config/orvantic/orvantic.ini");
  EXPECT_EQ(bare.programFolder, dir / ("tmp/orvantic-" + std::to_string(::getuid()) + "/"));

  // A folder of that name that is not ours (here: a link) is not used.
  fs::remove_all(dir / ("tmp/orvantic-" + std::to_string(::getuid())));
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", dir / ("tmp/orvantic-" + std::to_string(::getuid())));
  const Installation planted = ResolveInstallation(in);
  EXPECT_NE(planted.programFolder.find("/tmp/orvantic-"), std::string::npos);
  EXPECT_EQ(planted.programFolder.find("elsewhere"), std::string::npos);
  ASSERT_EQ(::lstat(planted.programFolder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Installation, LockNamesFollowTheWorkingFolder) {
  unsetenv("ORVANTIC_INSTANCE_NAME");
  EXPECT_EQ(InstanceLockName("/run/user/1000/orvantic/"), "orvantic:/run/user/1000/orvantic/");
  EXPECT_NE(InstanceLockName("/run/user/1000/orvantic/"), InstanceLockName("/run/user/1001/orvantic/"));
  const std::string longFolder = "/" + std::string(150, 'a') + "/";
  const std::string name = InstanceLockName(longFolder);
  EXPECT_LE(name.size(), 100u);
  EXPECT_NE(name, InstanceLockName(longFolder + "b/"));
  {
    // Two working folders: both copies run; the same folder twice: refused.
    InstanceLock first(InstanceLockName("/tmp/orvantic-lock-test-a/"));
    InstanceLock other(InstanceLockName("/tmp/orvantic-lock-test-b/"));
    InstanceLock again(InstanceLockName("/tmp/orvantic-lock-test-a/"));
    EXPECT_TRUE(first.Held());
    EXPECT_TRUE(other.Held());
    EXPECT_FALSE(again.Held());
  }
  setenv("ORVANTIC_INSTANCE_NAME", "orvantic-test-core", 1);
}

TEST(DroppedPaths, FilesStayFoldersGiveTheirSupportedFilesInOrder) {
  TempDir dir;
  fs::create_directories(dir / "films/sub");
  for (const char* name : {"films/b.MPG", "films/a.avi", "films/notes.txt", "films/sub/c.avi",
                           "loose.wmv", "readme"})
    WriteText(dir / name, "");
  const std::vector<std::string> got =
      ExpandDroppedPaths({dir / "loose.wmv", dir / "films", dir / "readme", dir / "gone.avi"});
  const std::vector<std::string> want = {dir / "loose.wmv", dir / "films/a.avi", dir / "films/b.MPG",
                                         dir / "readme"};
  EXPECT_EQ(got, want);
  EXPECT_TRUE(IsSupportedVideoName("x.VOB"));
  EXPECT_TRUE(IsSupportedVideoName("a.b.rmvb"));
  EXPECT_FALSE(IsSupportedVideoName("avi"));
  EXPECT_FALSE(IsSupportedVideoName("x.mkv"));
}

TEST(RunEstimate, TextsAndTheFirstMoments) {
  EXPECT_EQ(DurationText(42.4), "42 s");
  EXPECT_EQ(DurationText(247), "4:07");
  EXPECT_EQ(DurationText(3903), "1:05:03");
  EXPECT_EQ(EstimateText(2, 7, 247.0), "Item 2 of 7 - about 4:07 left");
  EXPECT_EQ(EstimateText(1, 3, std::nullopt), "Item 1 of 3 - estimating...");

  RunEstimate estimate({100, 100});
  EXPECT_FALSE(estimate.SecondsLeft());
  estimate.Update(0.0, 1, -1);
  estimate.Update(0.5, 1, 0);
  EXPECT_FALSE(estimate.SecondsLeft());  // nothing converted yet
  estimate.Update(0.55, 1, 0.5);         // the engine's start-up took 0.55 s
  estimate.Update(0.8, 1, 3);
  EXPECT_FALSE(estimate.SecondsLeft());  // too little measured
  estimate.Update(2.55, 1, 20.5);        // 20.5 s of media in 2 s of converting
  ASSERT_TRUE(estimate.SecondsLeft());
  // 179.5 s of media left at 10.25 per second, plus the second item's start.
  EXPECT_NEAR(*estimate.SecondsLeft(), 179.5 / 10.25 + 0.55, 0.01);
  // A position going back (a split item's next piece) does not undo progress.
  estimate.Update(3.0, 1, 2);
  EXPECT_NEAR(*estimate.SecondsLeft(), 179.5 / (20.5 / 2.45) + 0.55, 0.01);
}

SourceItem Item(double duration, double clipStart = 0, double clipEnd = 0) {
  SourceItem item;
  item.duration = duration;
  item.clipEnabled = clipEnd > clipStart;
  item.clipStartSeconds = clipStart;
  item.clipEndSeconds = clipEnd;
  return item;
}

TEST(RunEstimate, TrimmedItemsCountTheirClip) {
  EXPECT_DOUBLE_EQ(ItemWorkSeconds(Item(600)), 600);
  EXPECT_DOUBLE_EQ(ItemWorkSeconds(Item(600, 60, 90)), 30);
  EXPECT_DOUBLE_EQ(ItemWorkSeconds(Item(-1)), 0);
}

// A run as the engine does it: each item costs a start-up, then converts at a
// steady pace; the position is looked at every 50 ms. Returns the worst
// error of the estimate after the first 10 % of the run's wall time.
double WorstError(const std::vector<double>& items, double pace, double startup,
                  const std::vector<int>& skipped = {}, double from = 0.1) {
  std::vector<double> start, end;
  double t = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    start.push_back(t);
    const bool skip = std::find(skipped.begin(), skipped.end(), int(i)) != skipped.end();
    if (!skip) t += startup + items[i] / pace;
    end.push_back(t);
  }
  const double total = t;
  RunEstimate estimate(items);
  double worst = 0;
  for (double now = 0; now < total; now += 0.05) {
    int current = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (now >= start[i] && now < end[i]) current = int(i) + 1;
    if (!current) continue;
    const double into = now - start[current - 1] - startup;
    estimate.Update(now, current, into > 0 ? into * pace : -1);
    if (now < from * total) continue;
    const auto left = estimate.SecondsLeft();
    EXPECT_TRUE(left) << "no estimate at " << now;
    if (!left) return 1e9;
    worst = std::max(worst, std::abs(*left - (total - now)) / total);
  }
  return worst;
}

TEST(RunEstimate, OneLongAndFiveShortItemsAreEstimatedWithinAFifth) {
  // Long first, long last, and with start-ups as large as a short item.
  EXPECT_LT(WorstError({600, 20, 20, 20, 20, 20}, 12.0, 0.4), 0.2);
  EXPECT_LT(WorstError({20, 20, 20, 20, 20, 600}, 12.0, 0.4), 0.2);
  EXPECT_LT(WorstError({20, 20, 600, 20, 20, 20}, 40.0, 1.5), 0.2);
  // Items skipped on the way (their outputs exist) take no time: once they
  // are passed, the estimate is right again.
  EXPECT_LT(WorstError({60, 20, 20, 20, 20, 20}, 12.0, 0.3, {2, 3}, 0.7), 0.2);
}

}  // namespace
}  // namespace orv
