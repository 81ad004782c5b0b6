#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "shared/records.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/instance_lock.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "platform/ini_file.h"
#include "core/settings/grid_rows.h"
#include "core/settings/profile_file.h"
#include "core/settings/project_file.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

TEST(ProfileFile, MissingFileSectionOrKeyGivesTrimmedDefault) {
  TempDir dir;
  EXPECT_EQ(GetProfileString("GENERAL", "OutputPath", "  /tmp ", dir / "none.ini"), "/tmp");
  WriteText(dir / "a.ini", "[OTHER]\nOutputPath=/x\n");
  EXPECT_EQ(GetProfileString("GENERAL", "OutputPath", "d", dir / "a.ini"), "d");
}

TEST(ProfileFile, MatchesCaseInsensitivelyTrimsAndUnquotes) {
  TempDir dir;
  WriteText(dir / "a.ini", "; comment\r\n[general]\r\n  outputpath =  \"/home/u/My Videos\"  \r\n");
  EXPECT_EQ(GetProfileString("GENERAL", "OutputPath", "", dir / "a.ini"), "/home/u/My Videos");
}

TEST(ProfileFile, ReadBackIsCutTo255Characters) {
  TempDir dir;
  std::string longValue(300, 'a');
  ASSERT_TRUE(WriteProfileString("GENERAL", "OutputPath", longValue, dir / "a.ini"));
  EXPECT_EQ(GetProfileString("GENERAL", "OutputPath", "", dir / "a.ini"), std::string(255, 'a'));
}

TEST(ProfileFile, WriteCreatesFileSectionAndKeyAndKeepsOtherLines) {
  TempDir dir;
  const std::string f = dir / "a.ini";
  ASSERT_TRUE(WriteProfileString("GENERAL", "OverWriteType", "1", f));
  EXPECT_EQ(ReadText(f), "[GENERAL]\nOverWriteType=1\n");

  WriteText(f, "; keep me\n[GENERAL]\nOverWriteType=1\n\n[DRIVES]\nF=/film.iso\n");
  ASSERT_TRUE(WriteProfileString("general", "OUTPUTPATH", "/out", f));
  ASSERT_TRUE(WriteProfileString("GENERAL", "overwritetype", "3", f));
  ASSERT_TRUE(WriteProfileString("NEW", "k", "v", f));
  EXPECT_EQ(ReadText(f),
            "; keep me\n[GENERAL]\noverwritetype=3\nOUTPUTPATH=/out\n\n[DRIVES]\nF=/film.iso\n"
            "[NEW]\nk=v\n");
  EXPECT_EQ(GetProfileString("DRIVES", "f", "", f), "/film.iso");
}

TEST(ProfileFile, WriteIntoUnwritableFolderFails) {
  EXPECT_FALSE(WriteProfileString("A", "b", "c", "/proc/no-such-dir/x.ini"));
}

TEST(CommandLine, SplitsWithWindowsRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine(R"(  a  "b c"   d)"), (V{"a", "b c", "d"}));
  EXPECT_EQ(SplitCommandLine(R"("C:\App\\" x)"), (V{R"(C:\App\)", "x"}));
  EXPECT_EQ(SplitCommandLine(R"(a\\\"b c\d)"), (V{R"(a\"b)", R"(c\d)"}));
  EXPECT_EQ(SplitCommandLine(R"("a""b" "")"), (V{R"(a"b)", ""}));
  EXPECT_EQ(SplitCommandLine(R"(x"y z"w)"), (V{"xy zw"}));
  EXPECT_TRUE(SplitCommandLine("   \t ").empty());
}

TEST(CommandLine, QuoteArgRoundTripsAwkwardTexts) {
  const std::vector<std::string> texts = {
      "",          "plain",        "with blank",  "-o",           "-ss 5 -o /etc/x",
      "quote\"in", "\"",           "trail\\",     "dir\\\\",      "back\\\"quote",
      "/app/",     "ünïcødé 名前", "tab\there",   "a\\b\\\\c\\\"", "  lead and trail  "};
  std::string line;
  for (const auto& t : texts) line += QuoteArg(t) + " ";
  EXPECT_EQ(SplitCommandLine(line), texts);
  EXPECT_EQ(QuoteArg("/app/"), "\"/app/\"");
  EXPECT_EQ(QuoteArg("C:\\App\\"), "\"C:\\App\\\\\"");
}

TEST(Files, DeleteByNameRemovesAndReportsFilesThatStay) {
  TempDir dir;
  WriteText(dir / "videoinfo.dat", "x");
  EXPECT_TRUE(DeleteByName(dir / "videoinfo.dat"));
  EXPECT_FALSE(FileExists(dir / "videoinfo.dat"));
  EXPECT_TRUE(DeleteByName(dir / "never-there"));
  if (::geteuid() != 0) {  // root may delete anything
    std::filesystem::create_directory(dir / "ro");
    WriteText(dir / "ro/f", "x");
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    EXPECT_FALSE(DeleteByName(dir / "ro/f"));  // gives up instead of looping for ever
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);
  }
}

// The names in a folder, sorted: a save must leave no temporary behind.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Writes past `bytes` fail with EFBIG for this process while it lives: a
// full disk that even root cannot write past, touching no other file.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_{};
  void (*oldSignal_)(int) = nullptr;
};

TEST(AtomicWrite, ReplacesTheFileKeepingItsModeAndLinks) {
  TempDir dir;
  const std::string list = dir / "list.vpt";
  WriteText(list, "old");
  ::chmod(list.c_str(), 0640);
  EXPECT_EQ(WriteFileAtomically(list, "new contents"), "");
  EXPECT_EQ(ReadText(list), "new contents");
  EXPECT_EQ(ModeOf(list), 0640u);

  // A new file gets the usual mode (0666 less the umask), not mkstemp's 0600.
  const mode_t mask = ::umask(022);
  EXPECT_EQ(WriteFileAtomically(dir / "fresh.profile", "x"), "");
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir / "fresh.profile"), 0644u);

  // A link (a settings file kept with the user's dotfiles) stays a link; its
  // target, even through a relative link to a link, gets the bytes.
  std::filesystem::create_directory(dir / "dotfiles");
  WriteText(dir / "dotfiles/orvantic.ini", "[GENERAL]\n");
  ::chmod((dir / "dotfiles/orvantic.ini").c_str(), 0600);
  std::filesystem::create_symlink("dotfiles/orvantic.ini", dir / "inner.ini");
  std::filesystem::create_symlink(dir / "inner.ini", dir / "orvantic.ini");
  ASSERT_TRUE(WriteProfileString("GENERAL", "OutputPath", "/films", dir / "orvantic.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "orvantic.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "inner.ini"));
  EXPECT_EQ(ReadText(dir / "dotfiles/orvantic.ini"), "[GENERAL]\nOutputPath=/films\n");
  EXPECT_EQ(ModeOf(dir / "dotfiles/orvantic.ini"), 0600u);
  // A link to a file not yet there makes it there.
  std::filesystem::create_symlink("dotfiles/new.profile", dir / "new.profile");
  EXPECT_EQ(WriteFileAtomically(dir / "new.profile", "p"), "");
  EXPECT_EQ(ReadText(dir / "dotfiles/new.profile"), "p");
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"dotfiles", "fresh.profile", "inner.ini", "list.vpt",
                                      "new.profile", "orvantic.ini"}));
  EXPECT_EQ(Names(dir / "dotfiles"), (std::vector<std::string>{"new.profile", "orvantic.ini"}));
}

TEST(AtomicWrite, AFailedWriteKeepsTheOldFileAndSaysWhy) {
  TempDir dir;
  const std::string list = dir / "list.vpt", ini = dir / "orvantic.ini";
  const std::string profile = dir / "mine.profile";
  const std::string oldIni = "[GENERAL]\nOverWriteType=1\nOutputPath=/films\n";
  WriteText(list, "old list");
  WriteText(ini, oldIni);
  WriteText(profile, "old profile");
  ItemList items;
  for (int i = 0; i < 20; ++i) {
    items.push_back(std::make_unique<SourceItem>());
    items.back()->sourcePath = "/v/" + std::string(100, 'a');
  }
  GridRows rows = BuildGridRows();
  rows[0].value = std::string(3000, 'v');
  std::string direct, project, profileReason;
  bool iniWritten = true;
  {
    // Checked after the limit is gone: a failure message may go to a file.
    FileSizeLimit full(1024);
    direct = WriteFileAtomically(list, std::string(5000, 'n'));
    SaveProjectFile(list, items, &project);
    SaveProfileFile(profile, rows, &profileReason);
    iniWritten = WriteProfileString("GENERAL", "OutputPath", std::string(2000, 'p'), ini);
  }
  EXPECT_EQ(direct, "File too large");
  EXPECT_EQ(project, "File too large");
  EXPECT_EQ(profileReason, "File too large");
  EXPECT_FALSE(iniWritten);
  EXPECT_EQ(ReadText(list), "old list");
  EXPECT_EQ(ReadText(profile), "old profile");
  EXPECT_EQ(ReadText(ini), oldIni);
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"list.vpt", "mine.profile", "orvantic.ini"}));

  // What cannot be written at all names its reason and creates nothing.
  std::filesystem::create_directory(dir / "folder.vpt");
  EXPECT_EQ(WriteFileAtomically(dir / "folder.vpt", "x"), "Is a directory");
  EXPECT_EQ(WriteFileAtomically(dir / "no/such/list.vpt", "x"), "No such file or directory");
  EXPECT_EQ(Names(dir / "folder.vpt"), std::vector<std::string>{});
}

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
  const std::string name = "orvantic-test-lock-" + std::to_string(::getpid());
  {
    InstanceLock first(name);
    ASSERT_TRUE(first.Held());
    InstanceLock second(name);
    EXPECT_FALSE(second.Held());
  }
  InstanceLock again(name);
  EXPECT_TRUE(again.Held());
}

TEST(InstanceLock, ReleasedWhenTheHolderIsKilled) {
  const std::string name = "orvantic-test-kill-" + std::to_string(::getpid());
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    InstanceLock lock(name);
    char c = lock.Held() ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_FALSE(InstanceLock(name).Held());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(InstanceLock(name).Held());
}

bool WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 400; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

TEST(ProcessList, EngineIsRecognisedOnlyAtItsExactPath) {
  TempDir dir, other;
  Installation inst = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  test::InstallEngine(other.path(), ORV_FAKE_ENGINE);
  test::WriteText(dir / "fake.cfg", "run_ms=60000\n");
  test::WriteText(other / "fake.cfg", "run_ms=60000\n");
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));

  // A copy started from another folder does not count.
  LaunchEngine(QuoteArg(other / "orvantic-engine") + " -o x -currentfolder " +
                   QuoteArg(other.path()),
               false);
  std::string upper = inst.EngineLocation();
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  ASSERT_TRUE(WaitUntil([&] { return IsEngineRunning(other / "orvantic-engine"); }));
  EXPECT_FALSE(IsEngineRunning(inst.EngineLocation()));
  EXPECT_FALSE(IsEngineRunning(upper));

  LaunchEngine(QuoteArg(inst.EngineLocation()) + " -o x -currentfolder " + QuoteArg(dir.path()),
               false);
  EXPECT_TRUE(WaitUntil([&] { return IsEngineRunning(inst.EngineLocation()); }));
  EXPECT_FALSE(IsEngineRunning(upper));  // case differs: not ours

  // Command 2 ends both; their reapers leave no zombie that would still match.
  orv::EngineControl stop;
  stop.command = 2;
  for (const auto* d : {&dir, &other}) {
    FILE* f = std::fopen((*d / "vctrl.dat").c_str(), "wb");
    std::fwrite(&stop, sizeof stop, 1, f);
    std::fclose(f);
  }
  EXPECT_TRUE(WaitUntil([&] { return !IsEngineRunning(inst.EngineLocation()); }));
  EXPECT_TRUE(WaitUntil([&] { return !IsEngineRunning(other / "orvantic-engine"); }));
}

TEST(Launcher, WaitingLaunchReportsExitStatusAndFailureToStart) {
  TempDir dir;
  Installation inst = test::InstallEngine(dir.path(), ORV_FAKE_ENGINE);
  test::WriteText(dir / "fake.cfg", "exit=3\n");
  LaunchResult r = LaunchEngine(QuoteArg(inst.EngineLocation()) + " -currentfolder " +
                                    QuoteArg(dir.path()),
                                true);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_EQ(test::ReadText(dir / "fake_log.txt"), "-currentfolder|" + dir.path() + "\n");
  EXPECT_FALSE(LaunchEngine(QuoteArg(dir / "missing-engine"), true).started);
  EXPECT_FALSE(LaunchEngine("", true).started);
}

}  // namespace
}  // namespace orv
