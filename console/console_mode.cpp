#include "console/console_mode.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <memory>
#include <thread>

#include "core/list/identify_files.h"
#include "core/settings/source_list.h"
#include "core/convert/batch_run.h"
#include "core/convert/eta.h"
#include "core/convert/progress.h"
#include "core/convert/run_progress.h"
#include "platform/instance_lock.h"
#include "core/settings/grid_rows.h"
#include "core/settings/option_tables.h"
#include "platform/dvd_drives.h"
#include "platform/files.h"
#include "platform/text.h"
#include "core/settings/profile_file.h"
#include "core/settings/project_file.h"

namespace orv {
namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted = true; }

// One line from the terminal; false at its end or on Ctrl-C, which must end
// the run at once rather than wait for Enter.
bool ReadAnswer(std::string* answer) {
  answer->clear();
  while (!gInterrupted) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&in, 1, 50);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    *answer += c;
  }
  return false;
}

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
  const auto v = ParseInteger(s);
  if (!v || *v < lo || *v > hi) return false;
  *out = static_cast<int>(*v);
  return true;
}

// Dialog answers for a terminal: messages go to stderr; questions are asked
// on the terminal, and answered "no" without one.
class ConsoleShell : public Shell {
 public:
  void Message(const std::string& text, const std::string&) override {
    std::cerr << "orvantic: " << text << "\n";
  }
  bool AskOkCancel(const std::string& text, const std::string&) override {
    if (!::isatty(STDIN_FILENO)) {
      std::cerr << text << " [no terminal: no]\n";
      return false;
    }
    std::cerr << text << " [y/N] " << std::flush;
    std::string answer;
    if (!ReadAnswer(&answer)) {
      std::cerr << "\n";
      return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes";
  }
  std::vector<std::string> OpenFiles(const FileDialogOptions&) override { return {}; }
  std::string SaveFile(const FileDialogOptions&) override { return {}; }
  bool InputText(const std::string&, const std::string&, std::string*) override { return false; }
  std::string ChooseFolder(const std::string&, const std::string&) override { return {}; }
  bool ChooseColour(unsigned*) override { return false; }
  bool ChooseFont(std::string*) override { return false; }
  void OpenUrl(const std::string&) override {}
  void PowerOff() override {}
};

class ConsoleHost : public BatchHost {
 public:
  ConsoleHost(Shell& shell, Desktop* desktop) : shell_(shell), desktop_(desktop) {}
  void SelectRow(int) override {}
  void StartProgressTimer() override {}
  void StopProgressTimer() override {}
  void SetProgress(int, int) override {}
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    return shell_.AskOkCancel(text, caption);
  }
  void Tell(const std::string& text) override { endText = text; }
  void Note(const std::string& text) override { std::cerr << "orvantic: " << text << "\n"; }
  bool ShutDownWhenFinished() override { return false; }
  void PowerOff() override {}
  // The terminal shows the end; a desktop notice would outlive the process
  // that could answer its action, so only sleep is held off.
  void RunStarted() override {
    if (desktop_) sleepBlock_ = desktop_->BlockSleep(kSleepBlockReason);
  }
  void RunEnded(const std::string&) override { sleepBlock_.reset(); }
  std::string endText;

 private:
  Shell& shell_;
  Desktop* desktop_;
  std::unique_ptr<SleepBlock> sleepBlock_;
};

// Shows item and list percentages: one redrawn line on a terminal, a plain
// line per change otherwise.
class ProgressPrinter {
 public:
  ProgressPrinter() : tty_(::isatty(STDOUT_FILENO)) {}
  // label: "Item 3 of 12", or "Items 3–4 of 12" with several at once.
  void Update(const std::string& label, int itemPercent, int listPercent, const std::string& left) {
    if (label == lastLabel_ && itemPercent == lastItemPercent_ && listPercent == lastList_ &&
        left == lastLeft_)
      return;
    lastLabel_ = label;
    lastItemPercent_ = itemPercent;
    lastList_ = listPercent;
    lastLeft_ = left;
    std::printf(tty_ ? "\r%s: %3d%%   List: %3d%%   %-22s" : "%s: %d%%, list: %d%%, %s\n",
                label.c_str(), itemPercent, listPercent, left.c_str());
    std::fflush(stdout);
    drawn_ = true;
  }
  void Finish() {
    if (tty_ && drawn_) std::printf("\n");
    std::fflush(stdout);
  }

 private:
  bool tty_;
  bool drawn_ = false;
  std::string lastLabel_;
  int lastItemPercent_ = -1, lastList_ = -1;
  std::string lastLeft_;
};

// Whole seconds: the line changes once a second, not on every look.
std::string LeftText(std::optional<double> seconds) {
  return seconds ? "about " + DurationText(*seconds) + " left" : "estimating...";
}

std::vector<std::string> DriveRoots(const Installation& installation) {
  std::vector<std::string> roots;
  for (const DvdDrive& drive : ListDvdDrives(installation.SettingsFilePath()))
    roots.push_back(drive.root);
  return roots;
}

bool IsProjectFile(const std::string& path) {
  return path.size() > 4 && AsciiLower(path.substr(path.size() - 4)) == ".vpt";
}

// Adds a project's items as the window's Open Project does, without
// clearing the list; says what was left out and why. False when anything
// was.
bool AddProject(const std::string& path, const std::string& outputFolder,
                const std::vector<std::string>& driveRoots, ItemList& items) {
  ProjectContents contents;
  const ProjectLoad result = LoadProjectFile(
      path, &contents, [&](const SourceItem& item) { return SourceUnavailable(item, driveRoots); });
  if (result == ProjectLoad::OpenFailed) {
    std::cerr << "orvantic: " << contents.error << "\n";
    return false;
  }
  bool all = result == ProjectLoad::Ok;
  if (!all) std::cerr << "orvantic: " << contents.error << "\n";
  for (const std::string& line : contents.leftOut) {
    std::cerr << "orvantic: " << path << ": " << line << "; left out\n";
    all = false;
  }
  if (!outputFolder.empty()) RebaseOutputPaths(contents.items, outputFolder);
  for (auto& item : contents.items) items.push_back(std::move(item));
  return all;
}

}  // namespace

bool WantsConsoleMode(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--convert" || a == "--save-project" || a == "--help" || a == "-h") return true;
  return false;
}

bool ParseShard(const std::string& text, int* index, int* count, std::string* error) {
  const auto slash = text.find('/');
  int k = 0, n = 0;
  if (slash == std::string::npos || !ParseInt(text.substr(0, slash), 0, 1000000, &k) ||
      !ParseInt(text.substr(slash + 1), 1, 1000000, &n) || k >= n) {
    *error = "--shard takes K/N with 0 <= K < N (a share of the list), not '" + text + "'";
    return false;
  }
  *index = k;
  *count = n;
  return true;
}

bool ShardFromSlurm(const char* taskId, const char* taskCount, const char* taskMin, int* index,
                    int* count, std::string* error) {
  if (!taskId || !taskCount) return true;
  int id = 0, n = 0, min = 0;
  if (!ParseInt(taskId, 0, 10000000, &id) || !ParseInt(taskCount, 1, 1000000, &n) ||
      (taskMin && !ParseInt(taskMin, 0, 10000000, &min)) || id < min || id - min >= n) {
    *error = std::string("the Slurm array task ") + taskId + " of " + taskCount +
             (taskMin ? std::string(" from ") + taskMin : "") + " makes no share of the list";
    return false;
  }
  *index = id - min;
  *count = n;
  return true;
}

std::string UsageText() {
  return "Usage:\n"
         "  orvantic                 start the converter window\n"
         "  orvantic --convert [--profile N | --profile-file FILE.profile] [--output DIR]\n"
         "                    [--overwrite N] [--verbose] FILE|PROJECT.vpt...\n"
         "  orvantic --save-project OUT.vpt [--profile N | --profile-file F] [--output DIR]\n"
         "                    FILE|PROJECT.vpt...\n"
         "                           build the list and save it as a project, converting nothing\n"
         "                           convert the files in one batch run, without a window\n"
         "  orvantic --help          show this text\n"
         "\n"
         "Console batch mode:\n"
         "  --profile N    0 MPEG-4 320x240, 1 MPEG-4 640x480, 2 H.264 320x240, 3 MP3 (default 0)\n"
         "  --profile-file FILE.profile\n"
         "                 every file gets the settings of a profile saved with \"Save Profile As\"\n"
         "                 (format, codecs, size, rates, channel mode, volume, quantizers, split)\n"
         "  --output DIR   output folder (default: the output folder of the window)\n"
         "  --overwrite N  when an output file exists: 1 overwrite, 2 ask (no terminal: no),\n"
         "                 3 skip (default: the setting of the window)\n"
         "  PROJECT.vpt    a saved project adds its items with every stored setting (clip,\n"
         "                 split, channel mode, volume, codecs); items whose source is gone are\n"
         "                 left out. They keep their output paths unless --output is given.\n"
         "  --save-project OUT.vpt\n"
         "                 write the list to a project (openable in the window) instead of\n"
         "                 converting it\n"
         "  --verbose      print each engine command line on stderr as '+ <command line>',\n"
         "                 and the engine's own messages after each run\n"
         "  --jobs N       convert N items at the same time, 1 to 16, or auto (default: the\n"
         "                 window's \"Simultaneous conversions\" setting)\n"
         "  --shard K/N    convert only the items whose position in the list is K modulo N\n"
         "                 (0 <= K < N): one share of a list run on several machines; names\n"
         "                 and outputs are decided on the whole list. Without it, a Slurm\n"
         "                 array task converts share SLURM_ARRAY_TASK_ID of\n"
         "                 SLURM_ARRAY_TASK_COUNT\n"
         "Exit status: 0 every file added and converted, 1 some were not, 2 usage error,\n"
         "130 stopped by Ctrl-C.\n";
}

namespace {

// One option that takes a value, with that value; false with a message.
bool TakeValue(const std::string& a, const std::string& v, ConsoleOptions* o, std::string* error) {
  auto needs = [&](std::string* field, const char* what) {
    *field = v;
    if (v.empty()) *error = a + " needs " + what;
    return !v.empty();
  };
  if (a == "--profile-file") return needs(&o->profileFile, "a file");
  if (a == "--save-project") return needs(&o->saveProject, "a file");
  if (a == "--output") return needs(&o->outputFolder, "a folder");
  if (a == "--shard") return o->shardGiven = ParseShard(v, &o->shardIndex, &o->shardCount, error);
  if (a == "--profile" && ParseInt(v, 0, kProfileCount - 1, &o->profile)) return true;
  if (a == "--overwrite" && ParseInt(v, 1, 3, &o->overWriteType)) return true;
  if (a == "--jobs") {
    if (const std::optional<int> jobs = ParseSimultaneous(v)) {
      o->jobs = *jobs == 0 ? -1 : *jobs;  // -1: automatic, whatever the setting
      return true;
    }
  }
  const char* takes = a == "--profile"   ? "0, 1, 2 or 3"
                      : a == "--overwrite" ? "1, 2 or 3"
                                           : "1 to 16 or auto";
  *error = a + " takes " + takes + ", not '" + v + "'";
  return false;
}

bool TakesValue(const std::string& a) {
  for (const char* option : {"--profile", "--profile-file", "--save-project", "--output", "--jobs",
                             "--shard", "--overwrite"})
    if (a == option) return true;
  return false;
}

}  // namespace

bool ParseConsoleArgs(const std::vector<std::string>& args, ConsoleOptions* o, std::string* error) {
  bool convert = false, endOfOptions = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (endOfOptions || a.empty() || a[0] != '-') {
      o->files.push_back(a);
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "--convert") {
      convert = true;
    } else if (a == "--verbose") {
      o->verbose = true;
    } else if (!TakesValue(a)) {
      *error = "unknown option " + a;
      return false;
    } else if (i + 1 >= args.size()) {
      *error = "option " + a + " needs a value";
      return false;
    } else if (!TakeValue(a, args[++i], o, error)) {
      return false;
    }
  }
  if (!convert && o->saveProject.empty()) {
    *error = "files are converted with --convert";
    return false;
  }
  if (o->files.empty()) {
    *error = "no files to convert";
    return false;
  }
  return true;
}

namespace {

// The add context of the options: a --profile-file makes every item a
// customized one with the loaded rows in *texts. False after telling why.
bool ProfileContext(const ConsoleOptions& options, const AppSettings& settings,
                    AddContext* context, ConversionSettings* texts) {
  context->outputFolder = options.outputFolder.empty() ? settings.outputPath : options.outputFolder;
  context->profile = options.profile;
  context->extension = ProfileExtension(options.profile);
  if (options.profileFile.empty()) return true;
  // As the window's customized profile: new items copy the loaded rows.
  GridRows rows = BuildGridRows();
  std::string loadError;
  switch (LoadProfileFile(options.profileFile, &rows, &loadError)) {
    case ProfileLoad::Ok:
      break;
    case ProfileLoad::OpenFailed:
      std::cerr << "orvantic: " << options.profileFile << ": cannot be opened\n";
      return false;
    case ProfileLoad::Damaged:
      std::cerr << "orvantic: " << loadError << "\n";
      return false;
  }
  *texts = TextsOfRows(rows);
  if (!IsVideoFormat(texts->outputFormat) && texts->outputFormat != "mp3") {
    std::cerr << "orvantic: " << options.profileFile << ": the output format \""
              << texts->outputFormat << "\" is none of mp4, mkv, webm, mp3\n";
    return false;
  }
  context->profile = kCustomizedProfile;
  context->extension = texts->outputFormat;
  context->gridTexts = texts;
  return true;
}

// What the user is told of a file that was not added; true when it was.
bool TellAddResult(const std::string& file, AddResult result) {
  switch (result) {
    case AddResult::Added:
      return true;
    case AddResult::AlreadyListed:
      std::cerr << "orvantic: " << file << ": already in the list\n";
      return false;
    case AddResult::EngineBusy:
      std::cerr << "orvantic: " << file << ": " << kEngineBusyMessage << "\n";
      return false;
    case AddResult::NotIdentified:
      std::cerr << "orvantic: " << file << ": not a media file the engine can read\n";
      return false;
  }
  return false;
}

// The named files' answers, identified `engines` at once (each file once):
// a run of several items at once does not wait for one engine after another
// before it starts. One engine identifies each file as it is added instead.
std::map<std::string, FileAnswer> IdentifyNamed(const ConsoleOptions& options, EngineLink& link,
                                                int engines) {
  std::map<std::string, FileAnswer> answers;
  if (engines <= 1) return answers;
  std::vector<std::string> files;
  std::set<std::string> named;  // a list of thousands: no search of the vector per file
  for (const auto& file : options.files)
    if (!IsProjectFile(file) && named.insert(file).second) files.push_back(file);
  const std::vector<FileAnswer> found = IdentifyFiles(link, files, engines);
  for (std::size_t j = 0; j < files.size(); ++j) answers[files[j]] = found[j];
  return answers;
}

// Adds the named files and projects in order; false when any was not added.
bool AddNamed(const ConsoleOptions& options, const AddContext& context, EngineLink& link,
              int engines, ItemList& items) {
  const std::map<std::string, FileAnswer> known = IdentifyNamed(options, link, engines);
  bool allAdded = true;
  for (const auto& file : options.files) {
    if (IsProjectFile(file)) {
      allAdded = AddProject(file, options.outputFolder, DriveRoots(link.installation()), items) &&
                 allAdded;
      continue;
    }
    const auto answer = known.find(file);
    const AddResult result = IsListed(items, file) || answer == known.end()
                                 ? AddFile(items, file, context, link)
                                 : AddIdentifiedFile(items, file, context, answer->second);
    allAdded = TellAddResult(file, result) && allAdded;
  }
  return allAdded;
}

// The seconds of media of each item this run converts (0 for the others).
std::vector<double> ShareWork(const ItemList& items, const BatchRun& run) {
  std::vector<double> work;
  for (std::size_t j = 0; j < items.size(); ++j)
    work.push_back(run.InShare(j) ? ItemWorkSeconds(*items[j]) : 0.0);
  return work;
}

// Shows the run's progress until it ends; Ctrl-C stops it. True when stopped.
bool WatchRun(BatchRun& run, const ItemList& items, EngineLink& progressLink,
              ProgressPrinter& printer) {
  const int count = static_cast<int>(items.size());
  const std::vector<double> work = ShareWork(items, run);
  RunEstimate estimate(work);
  const RunProgress several(work);
  const auto runStart = std::chrono::steady_clock::now();
  int itemPercent = 0, listPercent = 0, shownItem = 0;
  bool stopped = false;
  while (run.ThreadRunning()) {
    if (gInterrupted && !stopped) {
      stopped = true;
      run.Stop();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - runStart;
    if (run.Lanes() > 1) {
      const RunProgressView v = several.Update(elapsed.count(), run.Running(), run.FinishedWork());
      if (v.first > 0)
        printer.Update(ItemRangeText(v.first, v.last) + " of " + std::to_string(count),
                       v.itemPercent, v.listPercent, LeftText(v.secondsLeft));
    } else if (const int current = run.currentItemNumber; current >= 1 && current <= count) {
      if (current != shownItem) {
        shownItem = current;
        itemPercent = 0;
      }
      const double position = progressLink.ReadPosition();
      estimate.Update(elapsed.count(), current, position);
      ProgressUpdate u = ComputeProgress(*items[static_cast<std::size_t>(current - 1)], current,
                                         count, position);
      if (u.itemPercent) itemPercent = *u.itemPercent;
      if (u.listPercent) listPercent = *u.listPercent;
      printer.Update(ItemRangeText(current, current) + " of " + std::to_string(count), itemPercent,
                     listPercent, LeftText(estimate.SecondsLeft()));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return stopped;
}

// How the list is run: items at once and this machine's share.
struct RunShape {
  int jobs = 1;
  int shardIndex = 0;
  int shardCount = 1;
};

// Converts the list, then prints its end text; the exit status.
int ConvertList(ItemList& items, EngineLink& link, EngineLink& progressLink, Shell& shell,
                Desktop* desktop, int policy, bool allAdded, const RunShape& shape) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  ConsoleHost host(shell, desktop);
  BatchRun run(items, link, host);
  run.SetJobs(shape.jobs);
  run.SetShare(shape.shardIndex, shape.shardCount);
  ProgressPrinter printer;
  run.Convert(policy);
  const bool stopped = WatchRun(run, items, progressLink, printer);
  run.Join();
  const int count = static_cast<int>(items.size());
  if (!items.empty() && !stopped)
    printer.Update(ItemRangeText(count, count) + " of " + std::to_string(count), 100, 100, "done");
  printer.Finish();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (!host.endText.empty())
    (run.failures().empty() ? std::cout : std::cerr) << host.endText << "\n";
  if (stopped) return 130;
  int share = 0;
  for (std::size_t j = 0; j < items.size(); ++j) share += run.InShare(j);
  const bool allConverted = run.failures().empty() && run.convertedCount() == share;
  return allAdded && allConverted ? 0 : 1;
}

// The working folder of this run: a share of a list may run beside the
// other shares on one machine, each with its own folder, lock and engines.
std::string WorkFolder(const Installation& installation, const ConsoleOptions& options) {
  if (options.shardCount <= 1) return installation.programFolder;
  const std::string folder =
      installation.programFolder + "shard-" + std::to_string(options.shardIndex) + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

}  // namespace

int RunConsole(const std::vector<std::string>& args, const Installation& installation,
               AppSettings& settings, Desktop* desktop) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << UsageText();
      return 0;
    }
  }
  ConsoleOptions options;
  std::string error;
  if (!ParseConsoleArgs(args, &options, &error) ||
      (!options.shardGiven &&
       !ShardFromSlurm(std::getenv("SLURM_ARRAY_TASK_ID"), std::getenv("SLURM_ARRAY_TASK_COUNT"),
                       std::getenv("SLURM_ARRAY_TASK_MIN"), &options.shardIndex,
                       &options.shardCount, &error))) {
    std::cerr << "orvantic: " << error << "\n\n" << UsageText();
    return 2;
  }
  const bool sharded = options.shardCount > 1;
  const std::string workFolder = WorkFolder(installation, options);
  InstanceLock lock(InstanceLockName(workFolder) +
                    (sharded ? "-shard-" + std::to_string(options.shardIndex) : ""));
  if (!lock.Held()) {
    std::cerr << "Already running!\n";
    return 1;
  }

  ConsoleShell shell;
  EngineLink link(installation, shell);
  link.lane = sharded;
  link.PrepareFolder(workFolder);
  if (options.verbose) {
    link.onLaunch = [](const std::string& line) { std::cerr << "+ " << line << "\n"; };
    link.onMessages = [](const std::string& messages) {
      std::cerr << messages;
      if (messages.back() != '\n') std::cerr << "\n";
    };
  }
  EngineLink progressLink(installation, shell);  // read by this thread only
  progressLink.PrepareFolder(workFolder);

  AddContext context;
  ConversionSettings profileTexts;
  if (!ProfileContext(options, settings, &context, &profileTexts)) return 2;
  const int jobs = options.jobs < 0 ? 0 : options.jobs > 0 ? options.jobs : settings.simultaneous;
  const RunShape shape{JobsFor(jobs, std::thread::hardware_concurrency()), options.shardIndex,
                       options.shardCount};
  ItemList items;
  const bool allAdded = AddNamed(options, context, link, shape.jobs, items);

  if (!options.saveProject.empty()) {
    std::string reason;
    if (!SaveProjectFile(options.saveProject, items, &reason)) {
      std::cerr << "orvantic: cannot save " << options.saveProject << ": " << reason << "\n";
      return 1;
    }
    std::cout << "Project saved: " << options.saveProject << " (" << items.size()
              << (items.size() == 1 ? " item)\n" : " items)\n");
    return allAdded ? 0 : 1;
  }
  const int policy = options.overWriteType > 0 ? options.overWriteType : settings.overWriteType;
  return ConvertList(items, link, progressLink, shell, desktop, policy, allAdded, shape);
}

}  // namespace orv
