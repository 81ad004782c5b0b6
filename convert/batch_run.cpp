#include "convert/batch_run.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "convert/encode_command.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "settings/app_settings.h"

namespace orv {
namespace {

std::string ExitReason(const LaunchResult& r, const std::string& messages) {
  if (!r.started) return "the engine could not be started";
  if (std::string reason = LastEngineError(messages); !reason.empty()) return reason;
  if (r.exitStatus >= 128)
    return "the engine ended by signal " + std::to_string(r.exitStatus - 128);
  return "the engine failed (exit status " + std::to_string(r.exitStatus) + ")";
}

// "converted, 12 damaged packets dropped" from the engine's warning.
std::string WarningNote(const std::string& warning) {
  const auto space = warning.find(' ');
  if (space != std::string::npos && warning.find(" damaged packets of ") == space &&
      warning.find_first_not_of("0123456789") == space)
    return "converted, " + warning.substr(0, space) + " damaged packets dropped";
  return "converted; " + warning;
}

}  // namespace

BatchRun::BatchRun(ItemList& items, EngineLink& link, BatchHost& host)
    : items_(items), link_(link), host_(host) {}

BatchRun::~BatchRun() { Join(); }

void BatchRun::Join() {
  if (thread_.joinable()) thread_.join();
}

EngineActivity BatchRun::Activity() const {
  return ComputeActivity(IsEngineRunning(link_.installation().EngineLocation()), monitorIdle);
}

bool BatchRun::Convert(int overWriteType) {
  if (threadRunning_) return false;
  Join();
  threadRunning_ = true;
  thread_ = std::thread([this, overWriteType] {
    monitorIdle = 0;
    ConvertAll(overWriteType);
    monitorIdle = 1;
    threadRunning_ = false;
  });
  return true;
}

void BatchRun::Stop() {
  if (Activity() != EngineActivity::Converting && !threadRunning_) return;
  {
    std::lock_guard lock(launchMutex_);
    monitorIdle = 1;
  }
  const std::string engine = link_.installation().EngineLocation();
  const auto deadline = std::chrono::steady_clock::now() + kEngineStopPatience;
  bool killed = false;
  while (IsEngineRunning(engine)) {
    link_.WriteControl(EngineCommand::Stop);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int pid = enginePid_;
    if (!killed && pid > 0 && std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid, SIGKILL);  // its own process group
      killed = true;
      link_.shell().Message(kEngineKilled);
    }
  }
}

std::string BatchRun::PrepareOutputFolders() {
  std::vector<std::string> folders;
  {
    std::lock_guard lock(itemsMutex_);
    for (const auto& item : items_) {
      std::string folder = std::filesystem::path(item->outputPath).parent_path().string();
      if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
    }
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
      if (!std::filesystem::create_directories(folder, error) || error)
        return "Cannot create the output folder \"" + folder + "\": " + error.message();
      host_.Note("created the output folder " + folder);
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
      return "Cannot write to the output folder \"" + folder + "\": " + std::strerror(errno);
    RemoveStaleTemporaryFiles(folder);
  }
  return {};
}

void BatchRun::RemoveStaleTemporaryFiles(const std::string& folder) {
  // ".<name>.part-<pid>" of an engine that is gone (killed by the system, a
  // logout) is nobody's: an engine of ours that still runs keeps its own.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const auto mark = name.rfind(".part-");
    if (name.empty() || name.front() != '.' || mark == std::string::npos || mark == 0) continue;
    const std::string digits = name.substr(mark + 6);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.size() > 9)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM)) continue;  // still alive
    std::filesystem::remove(entry.path(), error);
  }
}

void BatchRun::RemoveTemporaryFiles(const std::string& output, int pid) {
  // The engine writes "<folder>/.<name>.part-<pid>", the name shortened when
  // it is long: match on the folder, the dot and the ending.
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(output).parent_path();
  const std::string ending = ".part-" + std::to_string(pid);
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > ending.size() && name.front() == '.' &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
      std::filesystem::remove(entry.path(), error);
  }
}

std::string BatchRun::RunPiece(const std::string& baseCommand, const Piece& piece) {
  const std::string command =
      baseCommand + PieceTail(piece.range, piece.output, link_.FolderOption());
  LaunchResult result;
  std::string messages;
  int pid = -1;
  {
    std::unique_lock lock(launchMutex_);
    if (monitorIdle == 1) return {};
    link_.WriteControl(EngineCommand::Run);
    result = link_.LaunchLogged(command, messages, [&](int started) {
      pid = enginePid_ = started;
      lock.unlock();
    });
    enginePid_ = -1;
  }
  // An engine ended by a signal it could not catch (ours after a stop that
  // went unheard, or the system's) leaves its temporary file behind.
  if (result.started && result.exitStatus >= 128 && pid > 0)
    RemoveTemporaryFiles(piece.output, pid);
  if (!result.started || result.exitStatus != 0) return ExitReason(result, messages);
  if (!FileExists(piece.output)) return "the engine wrote no file " + piece.output;
  pieceWarnings_ = EngineWarnings(messages);
  return {};
}

void BatchRun::ConvertItem(const SourceItem& item, int index) {
  auto fail = [&](const std::string& reason) {
    failures_.push_back({index + 1, item.sourcePath, reason});
  };
  std::vector<std::string> notes;
  auto note = [&] {
    for (const std::string& w : pieceWarnings_)
      if (std::find(notes.begin(), notes.end(), w) == notes.end()) notes.push_back(w);
    pieceWarnings_.clear();
  };
  auto end = [&] {
    for (const std::string& w : notes) warnings_.push_back({index + 1, item.sourcePath, WarningNote(w)});
  };
  const std::string base = BuildEncodeCommand(item, link_.installation());
  const Piece first = FirstPiece(item);
  if (std::string reason = RunPiece(base, first); !reason.empty()) return fail(reason);
  note();
  if (SplitKindOf(item) == SplitKind::None || monitorIdle == 1) return end();

  // The later pieces are planned from the first one's length; without it
  // the item is only partly converted, and must not count as converted.
  if (!IdentifyAndWait(link_, first.output, false)) {
    end();
    return fail(kOnlyFirstPiece);
  }
  for (const Piece& piece : LaterPieces(item, link_.Duration())) {
    if (monitorIdle == 1) break;
    if (std::string reason = RunPiece(base, piece); !reason.empty()) {
      end();
      return fail(reason);
    }
    note();
  }
  end();
}

void BatchRun::ConvertAll(int overWriteType) {
  failures_.clear();
  warnings_.clear();
  skipped_ = converted_ = 0;
  const std::string engine = link_.installation().EngineLocation();
  if (IsEngineRunning(engine)) {
    host_.Tell(kEngineBusyMessage);
    return;
  }
  if (std::string refusal = PrepareOutputFolders(); !refusal.empty()) {
    host_.Tell(refusal);
    return;
  }
  // Two items writing one file would silently replace the first one's
  // output: the later ones fail before any engine starts.
  std::vector<std::string> sharing(items_.size());
  {
    std::lock_guard lock(itemsMutex_);
    for (std::size_t j = 0; j < items_.size(); ++j)
      for (std::size_t k = 0; k < j; ++k)
        if (items_[k]->outputPath == items_[j]->outputPath && sharing[j].empty())
          sharing[j] = "item " + std::to_string(k + 1) + " writes the same output file " +
                       items_[j]->outputPath;
  }
  link_.WriteControl(EngineCommand::Run);
  host_.StartProgressTimer();
  const int policy = EffectiveOverwritePolicy(overWriteType);
  for (int j = 0; j < static_cast<int>(items_.size()); ++j) {
    SourceItem item;
    {
      std::lock_guard lock(itemsMutex_);
      item = *items_[static_cast<std::size_t>(j)];
    }
    if (!sharing[static_cast<std::size_t>(j)].empty()) {
      failures_.push_back({j + 1, item.sourcePath, sharing[static_cast<std::size_t>(j)]});
      continue;
    }
    if (FileExists(item.outputPath)) {
      if (policy == kAskBeforeOverwrite &&
          !host_.AskOkCancel("File \"" + item.outputPath + "\" already exists.Overwrite?",
                             kOverwriteCaption)) {
        ++skipped_;
        continue;
      }
      if (policy == kSkipExisting) {
        ++skipped_;
        continue;
      }
    }
    host_.SelectRow(j);
    // The progress of this item must not start from the last one's position.
    DeleteByName(link_.positionPath);
    currentItemNumber = j + 1;
    if (monitorIdle == 1) break;
    // A folder removed while the run goes on comes back for the next item.
    std::error_code folderError;
    std::filesystem::create_directories(std::filesystem::path(item.outputPath).parent_path(),
                                        folderError);
    const std::size_t failedBefore = failures_.size();
    ConvertItem(item, j);
    if (failures_.size() == failedBefore) ++converted_;
  }
  host_.StopProgressTimer();
  currentItemNumber = 0;
  host_.SetProgress(100, 100);
  if (host_.ShutDownWhenFinished()) {
    host_.PowerOff();
    return;
  }
  host_.Tell(EndMessage(failures_, warnings_));
}

std::string BatchRun::EndMessage(const std::vector<ItemFailure>& failures,
                                 const std::vector<ItemWarning>& warnings) {
  std::string text = kCompleteMessage;
  if (!failures.empty()) {
    text += "\n\n" + std::to_string(failures.size()) +
            (failures.size() == 1 ? " item was" : " items were") + " not converted:";
    for (const auto& f : failures)
      text += "\n" + std::to_string(f.itemNumber) + ": " + f.sourcePath + " - " + f.reason;
  }
  if (!warnings.empty()) {
    text += "\n\nConverted with warnings:";
    for (const auto& w : warnings)
      text += "\n" + std::to_string(w.itemNumber) + ": " + w.sourcePath + " - " + w.reason;
  }
  return text;
}

}  // namespace orv
