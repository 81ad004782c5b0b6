#include "core/convert/batch_run.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "core/convert/encode_command.h"
#include "core/convert/eta.h"
#include "core/convert/output_guard.h"
#include "core/link/engine_stop.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "core/settings/app_settings.h"
#include "core/settings/settings_check.h"

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
  stopRequested_ = false;
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
    stopRequested_ = true;
    monitorIdle = 1;
  }
  const EngineStopOutcome outcome =
      StopEngines(LaneLinks(), kEngineStopPatience, kEngineStopGiveUp);
  if (outcome.gaveUp)
    link_.shell().Message(kEngineNotEnded);
  else if (outcome.killed)
    link_.shell().Message(kEngineKilled);
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

std::vector<const EngineLink*> BatchRun::LaneLinks() const {
  std::vector<const EngineLink*> links{&link_};
  std::lock_guard lock(stateMutex_);
  for (const auto& lane : lanes_)
    if (lane->link != &link_) links.push_back(lane->link);
  return links;
}

BatchRun::PieceOutcome BatchRun::RunPiece(Lane& lane, const std::string& baseCommand,
                                          const Piece& piece) {
  // Checked before each start: an output named after the list was planned
  // (by hand, by a folder change) must still never replace a source.
  if (std::string conflict = SourceConflict(sources_, piece.output); !conflict.empty())
    return {conflict};
  const std::string command =
      baseCommand + PieceTail(piece.range, piece.output, lane.link->FolderOption());
  LaunchResult result;
  std::string messages;
  int pid = -1;
  {
    std::unique_lock lock(launchMutex_);
    if (monitorIdle == 1) return {{}, true, false};
    lane.link->WriteControl(EngineCommand::Run);
    result = lane.link->LaunchLogged(command, messages, [&](int started) {
      pid = started;
      lock.unlock();
    });
  }
  const bool stopped = stopRequested_;
  // An engine ended by a signal it could not catch (ours after a stop that
  // went unheard, or the system's) leaves its temporary file behind.
  if (result.started && result.exitStatus >= 128 && pid > 0)
    RemoveTemporaryFiles(piece.output, pid);
  if (!result.started || result.exitStatus != 0) return {ExitReason(result, messages), stopped};
  if (!FileExists(piece.output)) return {"the engine wrote no file " + piece.output, stopped};
  lane.pieceWarnings = EngineWarnings(messages);
  return {{}, stopped, true, true};
}

void BatchRun::NoteStoppedPiece(Lane& lane, const SourceItem& item, int index,
                                const Piece& piece, bool wrote) {
  const double position = lane.link->ReadPosition();
  // Only what the stopped engine finalised is moved: an engine ended by force
  // wrote nothing under the name, which may hold an earlier finished output.
  const std::string aside = wrote && FileExists(piece.output) ? SetPartialAside(piece.output) : "";
  std::lock_guard lock(stateMutex_);
  // Of several items stopped at once, the end text tells of the first.
  if (stopPoint_.itemNumber != 0 && stopPoint_.itemNumber < index + 1) return;
  stopPoint_.itemNumber = index + 1;
  stopPoint_.sourcePath = item.sourcePath;
  stopPoint_.position = position;
  stopPoint_.partialOutput = aside;
}

void BatchRun::AddFailure(int index, const std::string& source, const std::string& reason) {
  std::lock_guard lock(stateMutex_);
  failures_.push_back({index + 1, source, reason});
}

bool BatchRun::ConvertItem(Lane& lane, const SourceItem& item, const ItemValues& values,
                           int index) {
  auto fail = [&](const std::string& reason) {
    AddFailure(index, item.sourcePath, reason);
    return false;
  };
  std::vector<std::string> notes;
  auto note = [&] {
    for (const std::string& w : lane.pieceWarnings)
      if (std::find(notes.begin(), notes.end(), w) == notes.end()) notes.push_back(w);
    lane.pieceWarnings.clear();
  };
  auto end = [&] {
    std::lock_guard lock(stateMutex_);
    for (const std::string& w : notes) warnings_.push_back({index + 1, item.sourcePath, WarningNote(w)});
  };
  std::string base = BuildEncodeCommand(item, values, link_.installation());
  // Several engines at once share the cores out rather than each starting
  // threads for all of them: the same work then costs no more processor time
  // than one engine's, and the run ends sooner.
  if (const int lanes = laneCount_.load(); lanes > 1)
    base += ThreadsPart(LaneThreads(lanes, std::thread::hardware_concurrency()));
  // A piece Stop cut short is not the item's output: it goes aside, and the
  // item is not converted.
  auto run = [&](const Piece& piece) {
    PieceOutcome outcome = RunPiece(lane, base, piece);
    if (outcome.stopped) {
      if (outcome.ran) NoteStoppedPiece(lane, item, index, piece, outcome.wrote);
      outcome.failure = kStoppedReason;
    }
    return outcome;
  };
  const Piece first = FirstPiece(item);
  if (PieceOutcome o = run(first); !o.failure.empty()) {
    if (!o.stopped) return fail(o.failure);
    end();
    return true;
  }
  note();
  if (SplitKindOf(item) == SplitKind::None || stopRequested_) return end(), true;

  // The later pieces are planned from the first one's length; without it
  // the item is only partly converted, and must not count as converted.
  if (!IdentifyAndWait(*lane.link, first.output, false)) {
    end();
    return stopRequested_ || fail(kOnlyFirstPiece);
  }
  for (const Piece& piece : LaterPieces(item, lane.link->Duration())) {
    if (stopRequested_) break;
    if (PieceOutcome o = run(piece); !o.failure.empty()) {
      end();
      return o.stopped || fail(o.failure);
    }
    note();
  }
  end();
  return true;
}

bool BatchRun::MayWrite(const SourceItem& item, int policy) {
  const std::vector<std::string> existing = ExistingOutputs(item);
  if (existing.empty()) return true;
  std::lock_guard lock(askMutex_);  // one question at a time
  if (policy == kAskBeforeOverwrite)
    return host_.AskOkCancel("File \"" + existing.front() + "\" already exists.Overwrite?",
                             kOverwriteCaption);
  return policy != kSkipExisting;
}

void BatchRun::ConvertAll(int overWriteType) {
  if (!threadRunning_) stopRequested_ = false;  // run on the caller's thread
  failures_.clear();
  warnings_.clear();
  written_.clear();
  stopPoint_ = {};
  endText_.clear();
  skipped_ = converted_ = 0;
  finishedWork_ = 0;
  // A share of a list runs beside the other shares' engines.
  const std::string engine = link_.installation().EngineLocation();
  if (!link_.lane && IsEngineRunning(engine)) {
    host_.Tell(kEngineBusyMessage);
    return;
  }
  if (std::string refusal = PrepareOutputFolders(); !refusal.empty()) {
    host_.Tell(refusal);
    return;
  }
  // Two items writing one file would silently replace the first one's
  // output: the later ones fail before any engine starts.
  std::vector<std::string> sharing;
  std::size_t count = 0;
  {
    std::lock_guard lock(itemsMutex_);
    sharing = SharedOutputReasons(items_);
    sources_ = SourcePaths(items_);
    count = items_.size();
  }
  itemCount_ = count;
  MakeLanes(count);
  link_.WriteControl(EngineCommand::Run);
  host_.RunStarted();
  host_.StartProgressTimer();
  RunLanes(count, EffectiveOverwritePolicy(overWriteType), sharing);
  Finish();
}

void BatchRun::MakeLanes(std::size_t count) {
  // No more engines than items: a list of one item runs as it always has.
  int items = 0;
  for (std::size_t j = 0; j < count; ++j) items += InShare(j);
  const int lanes = std::max(1, std::min(jobs_, items));
  std::lock_guard lock(stateMutex_);
  lanes_.clear();
  nextItem_ = 0;
  laneCount_ = lanes;
  for (int k = 0; k < lanes; ++k) {
    auto lane = std::make_unique<Lane>();
    if (lanes == 1) {
      lane->link = &link_;
    } else {
      // Each engine its own working folder with its three status files.
      lane->own = LaneLink(link_, k + 1);
      lane->link = lane->own.get();
    }
    lanes_.push_back(std::move(lane));
  }
}

void BatchRun::RunLanes(std::size_t count, int policy, const std::vector<std::string>& sharing) {
  // Each lane takes the next item of the list when its last one is done;
  // with one lane, that is the list in order on this thread.
  auto work = [&](Lane& lane) {
    for (;;) {
      const std::size_t j = nextItem_++;
      if (j >= count) return;
      if (!InShare(j)) continue;
      SourceItem item;
      {
        std::lock_guard lock(itemsMutex_);
        if (j >= items_.size()) return;
        item = *items_[j];
      }
      if (!RunItem(lane, item, static_cast<int>(j), static_cast<int>(count), policy, sharing[j]))
        return;
    }
  };
  if (lanes_.size() == 1) return work(*lanes_.front());
  std::vector<std::thread> threads;
  for (auto& lane : lanes_) threads.emplace_back([&work, &lane] { work(*lane); });
  for (auto& t : threads) t.join();
  // The items no lane took.
  std::lock_guard lock(stateMutex_);
  if (stopRequested_ && stopPoint_.itemNumber != 0) {
    stopPoint_.notStarted = NotStartedAfter(static_cast<int>(std::min(nextItem_.load(), count)) - 1,
                                            static_cast<int>(count));
  }
}

int BatchRun::NotStartedAfter(int index, int count) const {
  int n = 0;
  for (int j = index + 1; j < count; ++j) n += InShare(static_cast<std::size_t>(j));
  return n;
}

std::vector<RunningItem> BatchRun::Running() const {
  std::vector<RunningItem> running;
  std::lock_guard lock(stateMutex_);
  if (lanes_.size() < 2) return running;
  for (const auto& lane : lanes_) {
    const int number = lane->itemNumber;
    if (number <= 0) continue;
    running.push_back({number, ReadPositionFile(lane->link->positionPath), lane->order});
  }
  std::sort(running.begin(), running.end(),
            [](const RunningItem& a, const RunningItem& b) { return a.order < b.order; });
  return running;
}

double BatchRun::FinishedWork() const {
  std::lock_guard lock(stateMutex_);
  return finishedWork_;
}

void BatchRun::ItemDone(const SourceItem& item) {
  std::lock_guard lock(stateMutex_);
  finishedWork_ += ItemWorkSeconds(item);
}

std::string BatchRun::WrittenBefore(const SourceItem& item) const {
  // The item as it is now: the folder may have been re-based since the run
  // began, onto a file an earlier item of this run has written.
  const ItemOutputs outputs = OutputsOf(item);
  std::lock_guard lock(stateMutex_);
  for (const auto& [number, files] : written_)
    if (OutputsOverlap(files, outputs))
      return "item " + std::to_string(number) + " wrote the same output file";
  return {};
}

bool BatchRun::RunItem(Lane& lane, const SourceItem& item, int index, int count, int policy,
                       std::string shared) {
  if (shared.empty()) shared = WrittenBefore(item);
  // The last guard: a settings text that is not a value never reaches the
  // engine's command line, wherever the item came from.
  FieldProblem problem;
  const std::optional<ItemValues> values = ParseItemValues(item, &problem);
  const std::optional<FieldProblem> clip = values ? CheckClip(item, item.duration) : std::nullopt;
  if (shared.empty() && (!values || clip)) shared = values ? clip->Text() : problem.Text();
  if (!shared.empty()) {
    AddFailure(index, item.sourcePath, shared);
    ItemDone(item);
    return true;
  }
  if (!MayWrite(item, policy)) {
    std::lock_guard lock(stateMutex_);
    ++skipped_;
    finishedWork_ += ItemWorkSeconds(item);
    return true;
  }
  const bool several = lanes_.size() > 1;
  several ? host_.MarkConverting(index, true) : host_.SelectRow(index);
  // The progress of this item must not start from the last one's position.
  DeleteByName(lane.link->positionPath);
  currentItemNumber = index + 1;
  if (stopRequested_) {
    std::lock_guard lock(stateMutex_);
    if (stopPoint_.itemNumber == 0 || index + 1 < stopPoint_.itemNumber)
      stopPoint_ = {index + 1, item.sourcePath, {}, -1, NotStartedAfter(index, count)};
    if (several) host_.MarkConverting(index, false);
    return false;
  }
  {
    std::lock_guard lock(stateMutex_);
    written_.emplace_back(index + 1, OutputsOf(item));
  }
  // A folder removed while the run goes on comes back for the next item.
  std::error_code folderError;
  std::filesystem::create_directories(std::filesystem::path(item.outputPath).parent_path(),
                                      folderError);
  lane.order = ++starts_;
  lane.itemNumber = index + 1;
  const bool converted = ConvertItem(lane, item, *values, index);
  lane.itemNumber = 0;
  if (several) host_.MarkConverting(index, false);
  ItemDone(item);
  if (stopRequested_) {
    std::lock_guard lock(stateMutex_);
    if (stopPoint_.itemNumber == 0) stopPoint_ = {index + 1, item.sourcePath, {}, -1, 0};
    stopPoint_.notStarted = NotStartedAfter(index, count);
    return false;
  }
  std::lock_guard lock(stateMutex_);
  if (converted) ++converted_;
  return true;
}

void BatchRun::Finish() {
  host_.StopProgressTimer();
  currentItemNumber = 0;
  // Several items at once end in any order; the user reads them in the
  // list's.
  auto byItem = [](const ItemFailure& a, const ItemFailure& b) { return a.itemNumber < b.itemNumber; };
  std::stable_sort(failures_.begin(), failures_.end(), byItem);
  std::stable_sort(warnings_.begin(), warnings_.end(), byItem);
  host_.SetProgress(100, 100);
  const bool stopped = stopRequested_;
  endText_ = stopped ? StoppedText(stopPoint_, failures_, warnings_)
                     : CompleteText(failures_, warnings_);
  // A stop is the user's own doing at the window: no notice for it.
  host_.RunEnded(stopped ? std::string() : RunNoticeText(failures_.size(), itemCount_));
  // A run the user stopped, or ended by closing the window, never powers off.
  if (!stopped && host_.ShutDownWhenFinished()) {
    AppendRunLog(link_.folder, endText_);
    // The countdown shows the end text; cancelling it is the end of the run.
    if (host_.ConfirmPowerOff(endText_)) host_.PowerOff();
    return;
  }
  host_.Tell(endText_);
}

}  // namespace orv
