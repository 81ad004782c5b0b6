#include "app/console_mode.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "settings/source_list.h"
#include "convert/batch_run.h"
#include "convert/eta.h"
#include "convert/progress.h"
#include "platform/instance_lock.h"
#include "settings/grid_rows.h"
#include "settings/option_tables.h"
#include "platform/dvd_drives.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/profile_file.h"
#include "settings/project_file.h"

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
  explicit ConsoleHost(Shell& shell) : shell_(shell) {}
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
  std::string endText;

 private:
  Shell& shell_;
};

// Shows item and list percentages: one redrawn line on a terminal, a plain
// line per change otherwise.
class ProgressPrinter {
 public:
  ProgressPrinter() : tty_(::isatty(STDOUT_FILENO)) {}
  void Update(int item, int count, int itemPercent, int listPercent, const std::string& left) {
    if (item == lastItem_ && itemPercent == lastItemPercent_ && listPercent == lastList_ &&
        left == lastLeft_)
      return;
    lastItem_ = item;
    lastItemPercent_ = itemPercent;
    lastList_ = listPercent;
    lastLeft_ = left;
    std::printf(tty_ ? "\rItem %d of %d: %3d%%   List: %3d%%   %-22s"
                     : "Item %d of %d: %d%%, list: %d%%, %s\n",
                item, count, itemPercent, listPercent, left.c_str());
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
  int lastItem_ = -1, lastItemPercent_ = -1, lastList_ = -1;
  std::string lastLeft_;
};

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
         "Exit status: 0 every file added and converted, 1 some were not, 2 usage error,\n"
         "130 stopped by Ctrl-C.\n";
}

bool ParseConsoleArgs(const std::vector<std::string>& args, ConsoleOptions* o, std::string* error) {
  bool convert = false, endOfOptions = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    if (endOfOptions || a.empty() || a[0] != '-') {
      o->files.push_back(a);
      continue;
    }
    std::string v;
    if (a == "--") {
      endOfOptions = true;
    } else if (a == "--convert") {
      convert = true;
    } else if (a == "--verbose") {
      o->verbose = true;
    } else if (a == "--profile") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 0, kProfileCount - 1, &o->profile)) {
        *error = "--profile takes 0, 1, 2 or 3, not '" + v + "'";
        return false;
      }
    } else if (a == "--profile-file") {
      if (!value(&o->profileFile)) return false;
      if (o->profileFile.empty()) {
        *error = "--profile-file needs a file";
        return false;
      }
    } else if (a == "--save-project") {
      if (!value(&o->saveProject)) return false;
      if (o->saveProject.empty()) {
        *error = "--save-project needs a file";
        return false;
      }
    } else if (a == "--output") {
      if (!value(&o->outputFolder)) return false;
      if (o->outputFolder.empty()) {
        *error = "--output needs a folder";
        return false;
      }
    } else if (a == "--overwrite") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 1, 3, &o->overWriteType)) {
        *error = "--overwrite takes 1, 2 or 3, not '" + v + "'";
        return false;
      }
    } else {
      *error = "unknown option " + a;
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

int RunConsole(const std::vector<std::string>& args, const Installation& installation,
               AppSettings& settings) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << UsageText();
      return 0;
    }
  }
  ConsoleOptions options;
  std::string error;
  if (!ParseConsoleArgs(args, &options, &error)) {
    std::cerr << "orvantic: " << error << "\n\n" << UsageText();
    return 2;
  }
  InstanceLock lock(InstanceLockName(installation.programFolder));
  if (!lock.Held()) {
    std::cerr << "Already running!\n";
    return 1;
  }

  ConsoleShell shell;
  EngineLink link(installation, shell);
  link.PrepareFolder(installation.programFolder);
  if (options.verbose) {
    link.onLaunch = [](const std::string& line) { std::cerr << "+ " << line << "\n"; };
    link.onMessages = [](const std::string& messages) {
      std::cerr << messages;
      if (messages.back() != '\n') std::cerr << "\n";
    };
  }
  EngineLink progressLink(installation, shell);  // read by this thread only
  progressLink.PrepareFolder(installation.programFolder);

  AddContext context;
  context.outputFolder = options.outputFolder.empty() ? settings.outputPath : options.outputFolder;
  context.profile = options.profile;
  context.extension = ProfileExtension(options.profile);
  ConversionSettings profileTexts;
  if (!options.profileFile.empty()) {
    // As the window's customized profile: new items copy the loaded rows.
    GridRows rows = BuildGridRows();
    std::string loadError;
    switch (LoadProfileFile(options.profileFile, &rows, &loadError)) {
      case ProfileLoad::Ok:
        break;
      case ProfileLoad::OpenFailed:
        std::cerr << "orvantic: " << options.profileFile << ": cannot be opened\n";
        return 2;
      case ProfileLoad::Damaged:
        std::cerr << "orvantic: " << loadError << "\n";
        return 2;
    }
    profileTexts = TextsOfRows(rows);
    if (!IsVideoFormat(profileTexts.outputFormat) && profileTexts.outputFormat != "mp3") {
      std::cerr << "orvantic: " << options.profileFile << ": the output format \""
                << profileTexts.outputFormat << "\" is none of mp4, mkv, webm, mp3\n";
      return 2;
    }
    context.profile = kCustomizedProfile;
    context.extension = profileTexts.outputFormat;
    context.gridTexts = &profileTexts;
  }

  ItemList items;
  bool allAdded = true;
  for (const auto& file : options.files) {
    if (IsProjectFile(file)) {
      allAdded =
          AddProject(file, options.outputFolder, DriveRoots(installation), items) && allAdded;
      continue;
    }
    switch (AddFile(items, file, context, link)) {
      case AddResult::Added:
        break;
      case AddResult::AlreadyListed:
        std::cerr << "orvantic: " << file << ": already in the list\n";
        allAdded = false;
        break;
      case AddResult::EngineBusy:
        std::cerr << "orvantic: " << file << ": " << kEngineBusyMessage << "\n";
        allAdded = false;
        break;
      case AddResult::NotIdentified:
        std::cerr << "orvantic: " << file << ": not a media file the engine can read\n";
        allAdded = false;
        break;
    }
  }

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

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  ConsoleHost host(shell);
  BatchRun run(items, link, host);
  ProgressPrinter printer;
  const int policy = options.overWriteType > 0 ? options.overWriteType : settings.overWriteType;
  std::vector<double> workSeconds;
  for (const auto& item : items) workSeconds.push_back(ItemWorkSeconds(*item));
  RunEstimate estimate(std::move(workSeconds));
  const auto runStart = std::chrono::steady_clock::now();
  run.Convert(policy);
  int itemPercent = 0, listPercent = 0, shownItem = 0;
  std::string left;
  bool stopped = false;
  while (run.ThreadRunning()) {
    if (gInterrupted && !stopped) {
      stopped = true;
      run.Stop();
    }
    const int current = run.currentItemNumber;
    const int count = static_cast<int>(items.size());
    if (current >= 1 && current <= count) {
      if (current != shownItem) {
        shownItem = current;
        itemPercent = 0;
      }
      const double position = progressLink.ReadPosition();
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - runStart;
      estimate.Update(elapsed.count(), current, position);
      // Whole seconds: the line changes once a second, not on every look.
      if (const auto seconds = estimate.SecondsLeft())
        left = "about " + DurationText(*seconds) + " left";
      else
        left = "estimating...";
      ProgressUpdate u = ComputeProgress(*items[static_cast<std::size_t>(current - 1)], current,
                                         count, position);
      if (u.itemPercent) itemPercent = *u.itemPercent;
      if (u.listPercent) listPercent = *u.listPercent;
      printer.Update(current, count, itemPercent, listPercent, left);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  run.Join();
  if (!items.empty() && !stopped)
    printer.Update(static_cast<int>(items.size()), static_cast<int>(items.size()), 100, 100,
                   "done");
  printer.Finish();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (!host.endText.empty())
    (run.failures().empty() ? std::cout : std::cerr) << host.endText << "\n";
  if (stopped) return 130;
  const bool allConverted =
      run.failures().empty() && run.convertedCount() == static_cast<int>(items.size());
  return allAdded && allConverted ? 0 : 1;
}

}  // namespace orv
