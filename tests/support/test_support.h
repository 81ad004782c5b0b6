// Shared pieces of the tests: temporary folders, engines installed into
// them, and a Shell whose answers a test scripts.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/convert/batch_run.h"
#include "platform/shell.h"
#include "platform/installation.h"

namespace orv::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // ends with '/'
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Copies an engine binary to <folder>orvantic-engine and returns the
// installation whose program and engine folder is that folder.
Installation InstallEngine(const std::string& folder, const std::string& binary);

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

// Runs a shell command, returns its stdout; *status gets the exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);

// A batch host that answers OK, keeps the end text and shows nothing.
class NullHost : public BatchHost {
 public:
  void SelectRow(int) override {}
  void StartProgressTimer() override {}
  void StopProgressTimer() override {}
  void SetProgress(int, int) override {}
  bool AskOkCancel(const std::string&, const std::string&) override { return true; }
  void Tell(const std::string& text) override { told = text; }
  bool ShutDownWhenFinished() override { return false; }
  void PowerOff() override {}
  std::string told;
};

class ScriptedShell : public Shell {
 public:
  void Message(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::vector<std::string> OpenFiles(const FileDialogOptions& options) override;
  std::string SaveFile(const FileDialogOptions& options) override;
  bool InputText(const std::string& title, const std::string& prompt, std::string* text) override;
  std::string ChooseFolder(const std::string& title, const std::string& start) override;
  bool ChooseColour(unsigned* rgb) override;
  bool ChooseFont(std::string* face) override;
  void OpenUrl(const std::string& url) override;
  bool CountDownToPowerOff(const std::string& endText, int seconds) override {
    countdowns.push_back(endText);
    countdownSeconds = seconds;
    return !cancelCountdown;
  }
  void PowerOff() override;

  std::vector<std::string> countdowns;  // end texts shown before a power-off
  int countdownSeconds = 0;
  bool cancelCountdown = false;
  std::vector<std::string> messages;   // texts shown, in order
  std::vector<std::string> questions;  // OK/Cancel questions asked
  std::deque<bool> answers;            // answers to give; none left: Cancel
  std::deque<std::vector<std::string>> openFiles;
  std::deque<std::string> inputs;      // texts for InputText; none left: Cancel
  std::deque<std::string> folders;
  std::deque<std::string> saveFiles;   // answers of SaveFile; none left: Cancel
  std::vector<FileDialogOptions> dialogs;  // every file dialog shown, in order
  std::deque<unsigned> colours;        // colour chooser answers; none left: Cancel
  std::deque<std::string> fonts;       // font chooser answers; none left: Cancel
  std::vector<std::string> urls;
  int powerOffRequests = 0;
};

}  // namespace orv::test
