#include "core/link/engine_link.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/command_line.h"
#include "platform/process_list.h"

namespace orv {

EngineLink::EngineLink(Installation installation, Shell& shell)
    : mediaInfo(std::make_unique<MediaInfo>()),
      installation_(std::move(installation)),
      shell_(shell) {}

void EngineLink::PrepareFolder(const std::string& f) {
  // The paths are set once: a Stop written from another thread reads them
  // while a run prepares the same folder again.
  if (folder != f || controlPath.empty()) {
    folder = f;
    mediaInfoPath = folder + kMediaInfoFile;
    controlPath = folder + kControlFile;
    positionPath = folder + kPositionFile;
  }
  mediaInfo->durationSeconds = 0.0;
  mediaInfo->reserved8 = 1.0;
}

bool EngineLink::WriteControl(EngineCommand command) const {
  // A record of its own per call: the GUI's Stop and the run's Run may be
  // written at once.
  EngineControl record;
  record.command = static_cast<int32_t>(command);
  for (int attempt = 0; attempt < kControlWriteAttempts; ++attempt) {
    if (std::FILE* f = std::fopen(controlPath.c_str(), "wb")) {
      std::size_t written = std::fwrite(&record, sizeof record, 1, f);
      bool ok = std::fclose(f) == 0 && written == 1;
      if (ok) return true;
    }
    // The engine may be reading it this instant; try again shortly.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::string DvdTitleArgs(int title, const std::string& device) {
  return " dvd://" + std::to_string(title) + " -dvd-device " + device + " ";
}

double ReadPositionFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1.0;
  double value = -1.0;
  if (std::fread(&value, sizeof value, 1, f) != 1 || !std::isfinite(value)) value = -1.0;
  std::fclose(f);
  return value;
}

double EngineLink::ReadPosition() {
  position = ReadPositionFile(positionPath);
  return position;
}

bool EngineLink::ReadMediaInfo() {
  if (mediaInfoPath.empty()) return false;
  std::FILE* f = std::fopen(mediaInfoPath.c_str(), "rb");
  if (!f) return false;
  // Nothing of an earlier answer may survive into this one.
  *mediaInfo = MediaInfo{};
  std::size_t got = std::fread(mediaInfo.get(), 1, sizeof(MediaInfo), f);
  std::fclose(f);
  if (got < sizeof(MediaInfo)) {
    *mediaInfo = MediaInfo{};  // the engine writes the whole record or none
    return false;
  }
  if (!std::isfinite(mediaInfo->durationSeconds) || mediaInfo->durationSeconds < 0)
    mediaInfo->durationSeconds = 0.0;  // a damaged answer is no answer
  return true;
}

LaunchResult EngineLink::LaunchLogged(const std::string& commandLine, std::string& messages,
                                      const std::function<void(int pid)>& onStarted) const {
  if (onLaunch) onLaunch(commandLine);
  const std::string logPath = folder + kEngineLogFile;
  LaunchResult result =
      LaunchEngine(commandLine, true, Tracking(onStarted), folder.empty() ? "" : logPath);
  trackedPid_ = -1;
  messages = ReadLogTail(logPath);
  if (onMessages && !messages.empty()) onMessages(messages);
  return result;
}

std::string EngineLink::ReadLogTail(const std::string& path) {
  std::string messages;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    constexpr long kTail = 16 * 1024;
    if (std::fseek(f, 0, SEEK_END) == 0) {
      long size = std::ftell(f);
      std::fseek(f, size > kTail ? size - kTail : 0, SEEK_SET);
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) messages.append(buffer, n);
    std::fclose(f);
  }
  return messages;
}

namespace {

// Each line of the engine's messages that starts with its program prefix,
// without the prefix and trailing blanks.
template <typename Fn>
void ForEachEngineLine(const std::string& messages, Fn fn) {
  static const std::string kPrefix = "orvantic-engine: ";
  std::size_t start = 0;
  while (start < messages.size()) {
    std::size_t end = messages.find('\n', start);
    if (end == std::string::npos) end = messages.size();
    std::string line = messages.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.rfind(kPrefix, 0) == 0) fn(line.substr(kPrefix.size()));
  }
}

constexpr std::string_view kWarning = "warning: ";

}  // namespace

std::string LastEngineError(const std::string& messages) {
  std::string reason;
  ForEachEngineLine(messages, [&](const std::string& line) {
    if (!line.empty() && line.rfind(kWarning, 0) != 0) reason = line;
  });
  return reason;
}

std::vector<std::string> EngineWarnings(const std::string& messages) {
  std::vector<std::string> warnings;
  ForEachEngineLine(messages, [&](const std::string& line) {
    if (line.rfind(kWarning, 0) == 0 && line.size() > kWarning.size())
      warnings.push_back(line.substr(kWarning.size()));
  });
  return warnings;
}

std::string EngineLink::FolderOption() const {
  return " -currentfolder " + QuoteArg(lane ? folder : installation_.programFolder) + " ";
}

LaunchResult EngineLink::RunIdentify(const std::string& source, bool wait, bool unquoted) {
  if (!lane && IsEngineRunning(installation_.EngineLocation())) {
    LaunchResult busy;
    busy.busy = true;  // the caller tells the user
    return busy;
  }
  std::string cmd = QuoteArg(installation_.EngineLocation());
  cmd += unquoted ? " " + source + " " : " " + QuoteArg(source) + " ";
  cmd += " -vo null -nosound -identify" + FolderOption();
  return Launch(cmd, wait);
}

LaunchResult EngineLink::Launch(const std::string& commandLine, bool wait,
                                const std::function<void(int pid)>& onStarted,
                                const std::string& errorLog, int pictureFd) const {
  if (onLaunch) onLaunch(commandLine);
  LaunchResult result = LaunchEngine(commandLine, wait, Tracking(onStarted), errorLog, pictureFd);
  if (wait) trackedPid_ = -1;
  return result;
}

std::function<void(int)> EngineLink::Tracking(const std::function<void(int)>& onStarted) const {
  return [this, onStarted](int pid) {
    trackedPid_ = pid;
    if (onStarted) onStarted(pid);
  };
}

std::unique_ptr<EngineLink> LaneLink(const EngineLink& base, int k) {
  auto link = std::make_unique<EngineLink>(base.installation(), base.shell());
  link->lane = true;
  link->onLaunch = base.onLaunch;
  link->onMessages = base.onMessages;
  const std::string folder = base.folder + "job-" + std::to_string(k) + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  link->PrepareFolder(folder);
  return link;
}

std::string NameText(const char (&field)[kNameBytes]) {
  return std::string(field, strnlen(field, kNameBytes));
}

}  // namespace orv
