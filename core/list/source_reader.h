// Identifies the files being added on a thread of its own, one engine at a
// time, so that the window goes on answering while a folder of films is read.
// No widgets here: the window hands the answers over to its own thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/link/engine_link.h"
#include "core/settings/source_list.h"

namespace orv {

class SourceReader {
 public:
  struct Answer {
    std::string path;
    int batch = 0;  // as given to Read
    FileAnswer facts;
  };
  // Both are called on the reading thread. onAnswer gets each file's answer
  // in the order the files were queued; onIdle follows the last answer of a
  // reading (the queue empty, cancelled, or the engine found busy).
  using AnswerFn = std::function<void(const Answer&)>;
  using IdleFn = std::function<void()>;

  SourceReader(const Installation& installation, Shell& shell, AnswerFn onAnswer, IdleFn onIdle);
  // Abort().
  ~SourceReader();
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  // Queues these files behind any still to be read and starts reading; their
  // answers carry `batch`. A Cancel before applies only to the files queued
  // before it.
  void Read(const std::vector<std::string>& paths, int batch);
  // The file being read is waited out (its answer still comes); the files
  // after it are dropped.
  void Cancel();
  // Cancel, end the engine in flight, and wait for the thread.
  void Abort();
  // Files queued or being read.
  bool Busy() const;

 private:
  void Run();
  // The next path, or false when the reading is over.
  bool Next(std::pair<std::string, int>* entry);

  EngineLink link_;
  AnswerFn onAnswer_;
  IdleFn onIdle_;
  mutable std::mutex mutex_;
  std::deque<std::pair<std::string, int>> queue_;  // path and batch
  bool running_ = false;  // the thread reads or is about to
  bool cancelled_ = false;
  std::thread thread_;
};

}  // namespace orv
