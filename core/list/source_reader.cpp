#include "core/list/source_reader.h"

#include <chrono>

#include "core/link/engine_stop.h"

namespace orv {
namespace {

// An identification has found Stop in the control file from its start; one
// that has not ended after this is ended by force when the window closes.
constexpr std::chrono::milliseconds kAbortPatience{300};
constexpr std::chrono::milliseconds kAbortGiveUp{5000};

}  // namespace

SourceReader::SourceReader(const Installation& installation, Shell& shell, AnswerFn onAnswer,
                           IdleFn onIdle)
    : link_(installation, shell), onAnswer_(std::move(onAnswer)), onIdle_(std::move(onIdle)) {
  // The paths are set here, before the thread exists: Abort reads them from
  // the caller's thread.
  link_.PrepareFolder(installation.programFolder);
}

SourceReader::~SourceReader() { Abort(); }

void SourceReader::Read(const std::vector<std::string>& paths, int batch) {
  if (paths.empty()) return;
  std::unique_lock lock(mutex_);
  for (const std::string& path : paths) queue_.emplace_back(path, batch);
  cancelled_ = false;
  if (running_) return;  // the thread takes them after the ones before
  running_ = true;
  lock.unlock();
  // A thread that has ended its reading may still be telling so.
  if (thread_.joinable()) thread_.join();
  thread_ = std::thread([this] { Run(); });
}

void SourceReader::Cancel() {
  std::lock_guard lock(mutex_);
  queue_.clear();
  if (running_) cancelled_ = true;
}

void SourceReader::Abort() {
  Cancel();
  if (Busy()) StopEngines(link_, kAbortPatience, kAbortGiveUp);
  if (thread_.joinable()) thread_.join();
}

bool SourceReader::Busy() const {
  std::lock_guard lock(mutex_);
  return running_;
}

bool SourceReader::Next(std::pair<std::string, int>* entry) {
  std::lock_guard lock(mutex_);
  if (cancelled_ || queue_.empty()) {
    queue_.clear();
    running_ = false;
    return false;
  }
  *entry = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void SourceReader::Run() {
  std::pair<std::string, int> entry;
  while (Next(&entry)) {
    const Answer answer{entry.first, entry.second, IdentifyFile(link_, entry.first)};
    // Another program's engine holds the working folder: the files after
    // this one would find it busy too.
    if (answer.facts.result == Identified::EngineBusy) Cancel();
    onAnswer_(answer);
  }
  onIdle_();
}

}  // namespace orv
