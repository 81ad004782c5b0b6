// The link to the engine: its working folder, the three status files and the
// identify launch.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "shared/records.h"
#include "platform/installation.h"
#include "platform/launcher.h"

namespace orv {

inline constexpr const char* kEngineBusyMessage = "Please stop converting or playing the movie!";
// The engine's messages of the last encode run, in the working folder.
inline constexpr const char* kEngineLogFile = "engine.log";
// The player's messages, beside it.
inline constexpr const char* kPlayLogFile = "play.log";

// The reason in the engine's messages: its last error line without the
// program prefix; "" when it wrote none (warnings are not reasons).
std::string LastEngineError(const std::string& messages);
// The engine's warnings, each without the program prefix and "warning: ".
std::vector<std::string> EngineWarnings(const std::string& messages);

// " dvd://TITLE -dvd-device DEVICE ": a DVD title as a source on every
// engine command line that names one by title and device.
std::string DvdTitleArgs(int title, const std::string& device);

// The position in a vprog.dat at path, -1.0 without a file or a number.
double ReadPositionFile(const std::string& path);

class EngineLink {
 public:
  EngineLink(Installation installation, Shell& shell);

  // Sets the folder and the three status-file paths, resets the control
  // record and the identification answer (duration 0).
  void PrepareFolder(const std::string& folder);

  // Rewrites vctrl.dat whole. Returns false only when the file could not be
  // opened after kControlWriteAttempts tries.
  bool WriteControl(EngineCommand command) const;

  // The position from vprog.dat, -1.0 without a file. A value that is not a
  // finite number also reads as -1.0.
  double ReadPosition();

  // Reads videoinfo.dat into mediaInfo. False when it cannot be opened.
  bool ReadMediaInfo();
  double Duration() const { return mediaInfo->durationSeconds; }

  // Starts the engine in identify mode on source. A file path is quoted;
  // a DVD source text (unquoted) keeps its options as separate words.
  // Refuses with kEngineBusyMessage while any engine runs.
  LaunchResult RunIdentify(const std::string& source, bool wait, bool unquoted);

  // Every engine start goes through here, so an observer sees each command
  // line exactly as started.
  // errorLog, when given, receives the engine's messages; pictureFd is
  // the player's picture channel.
  LaunchResult Launch(const std::string& commandLine, bool wait,
                      const std::function<void(int pid)>& onStarted = {},
                      const std::string& errorLog = {}, int pictureFd = -1) const;
  // The last kTail bytes of a log the engine wrote its messages to.
  static std::string ReadLogTail(const std::string& path);

  // A waiting launch whose stderr goes to kEngineLogFile; the messages are
  // returned (the last 16 KiB at most) and passed to onMessages.
  LaunchResult LaunchLogged(const std::string& commandLine, std::string& messages,
                            const std::function<void(int pid)>& onStarted = {}) const;

  // " -currentfolder "<folder>" " for every command line.
  std::string FolderOption() const;

  const Installation& installation() const { return installation_; }
  Shell& shell() const { return shell_; }

  // The engine this link started last while it may still run: the one a
  // waiting launch waits for (-1 once it ended), or the last one started
  // without waiting. Read from other threads to end it.
  int TrackedPid() const { return trackedPid_.load(); }

  // Called with each command line just before the engine starts (may be empty).
  std::function<void(const std::string&)> onLaunch;
  // Called with the engine's own messages after each logged run (may be empty).
  std::function<void(const std::string&)> onMessages;

  // A link of one of several engines of a run: it keeps its own working
  // folder through identifications, and its siblings running is no reason
  // to refuse one.
  bool lane = false;

  double position = 0.0;
  std::unique_ptr<MediaInfo> mediaInfo;  // ~200 KB, kept off the stack
  std::string mediaInfoPath;
  std::string controlPath;
  std::string positionPath;
  std::string folder;

  static constexpr int kControlWriteAttempts = 200;

 private:
  // onStarted, after the pid is recorded.
  std::function<void(int)> Tracking(const std::function<void(int)>& onStarted) const;

  Installation installation_;
  Shell& shell_;
  mutable std::atomic<int> trackedPid_{-1};
};

// The link of engine k (1-based) of several at once beside base: its own
// working folder base.folder + "job-k/" (made here), the same installation,
// shell and launch notes.
std::unique_ptr<EngineLink> LaneLink(const EngineLink& base, int k);

// The text of a fixed-width name field: up to its first zero byte, never
// past its end.
std::string NameText(const char (&field)[kNameBytes]);

}  // namespace orv
