// The batch conversion run over the whole list, on its own thread, and the
// Stop that ends it. The GUI's main window and the console mode are two hosts
// of the same run.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/settings/item_values.h"
#include "core/settings/source_item.h"
#include "core/convert/output_guard.h"
#include "core/convert/piece_plan.h"
#include "core/convert/run_end.h"
#include "core/link/engine_link.h"
#include "core/link/identification.h"

namespace orv {

inline constexpr const char* kOverwriteCaption = "Warning";
inline constexpr const char* kEngineKilled = "The engine did not stop when asked and was ended.";
// How long Stop keeps asking before it ends the engine itself, and how long
// it waits in all before it gives up on an engine that cannot be ended.
inline constexpr std::chrono::milliseconds kEngineStopPatience{2000};
inline constexpr std::chrono::milliseconds kEngineStopGiveUp{6000};

// What the run asks of its host. Called on the conversion thread; a GUI host
// forwards each call to its own thread and waits for it.
class BatchHost {
 public:
  virtual ~BatchHost() = default;
  virtual void SelectRow(int index) = 0;
  virtual void StartProgressTimer() = 0;
  virtual void StopProgressTimer() = 0;
  virtual void SetProgress(int itemPercent, int listPercent) = 0;
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
  virtual void Tell(const std::string& text) = 0;
  virtual bool ShutDownWhenFinished() = 0;
  // Shows the end text with a countdown before the power-off; false when
  // the user cancelled it.
  virtual bool ConfirmPowerOff(const std::string& endText) {
    (void)endText;
    return true;
  }
  virtual void PowerOff() = 0;
  // Something the user may like to know that needs no answer (the console
  // prints it; the window has no place for it).
  virtual void Note(const std::string&) {}
  // A run of several items at once: the row index starts or ends converting.
  virtual void MarkConverting(int index, bool converting) {
    (void)index;
    (void)converting;
  }
  // The items start converting: the checks that may refuse a run are past.
  virtual void RunStarted() {}
  // The run has ended, before its end text is told. notice is the outcome
  // in one line (RunNoticeText), empty when the user stopped the run.
  virtual void RunEnded(const std::string& notice) { (void)notice; }
};

// An item being converted, as a progress display sees it.
struct RunningItem {
  int itemNumber = 0;     // 1-based
  double position = -1;   // the engine's position, -1 before its first
  std::int64_t order = 0;  // lower started earlier
};

inline constexpr const char* kStoppedReason = "stopped";
inline constexpr const char* kOnlyFirstPiece = "only the first piece was written";

class BatchRun {
 public:
  BatchRun(ItemList& items, EngineLink& link, BatchHost& host);
  ~BatchRun();  // waits for a running conversion thread

  // Starts the conversion thread; false when one is still running.
  bool Convert(int overWriteType);
  // How many items convert at the same time (1: one after another, the
  // run's command lines exactly as ever; never more than the list has).
  // Set before Convert.
  void SetJobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  int jobs() const { return jobs_; }
  // The engines of the run going on (or the last): jobs(), bounded by the
  // items to convert.
  int Lanes() const { return laneCount_.load(); }
  // Only the items whose 0-based position modulo count is index run (a
  // share of the list for one of several machines); the others are left
  // alone. Names and outputs are those of the whole list.
  void SetShare(int index, int count) {
    shareIndex_ = index;
    shareCount_ = count < 1 ? 1 : count;
  }
  bool InShare(std::size_t position) const {
    return static_cast<int>(position % static_cast<std::size_t>(shareCount_)) == shareIndex_;
  }
  // Ends a run: no further piece or item starts, the running engine is told
  // to stop until no engine is left; one that does not listen within
  // kEngineStopPatience is ended, and the user told. A run ended so never
  // powers the computer off. Does nothing unless Converting.
  void Stop();
  // Waits for the conversion thread to end.
  void Join();

  EngineActivity Activity() const;
  bool ThreadRunning() const { return threadRunning_.load(); }

  // Runs the whole list on the calling thread (the thread body).
  void ConvertAll(int overWriteType);

  // The items converting now, with their engines' positions, in the order
  // they started (a run of several items at once; empty otherwise).
  std::vector<RunningItem> Running() const;
  // Seconds of media of the items this run has finished with (converted,
  // failed or skipped).
  double FinishedWork() const;

  // The end-of-run text: "Complete!", followed by the failed items and the
  // items converted with warnings, if any.
  static std::string EndMessage(const std::vector<ItemFailure>& failures,
                                const std::vector<ItemWarning>& warnings = {}) {
    return CompleteText(failures, warnings);
  }

  std::atomic<int> monitorIdle{1};
  std::atomic<int> currentItemNumber{0};
  const std::vector<ItemFailure>& failures() const { return failures_; }
  const std::vector<ItemWarning>& warnings() const { return warnings_; }
  // Held by the GUI thread while it changes items during a run (the output
  // folder may be re-based then); the run copies each item under it.
  std::mutex& itemsMutex() { return itemsMutex_; }
  int skippedCount() const { return skipped_; }
  int convertedCount() const { return converted_; }
  // Set when the last run was ended by Stop (or the window closing).
  bool WasStopped() const { return stopRequested_.load(); }
  const StopPoint& stopPoint() const { return stopPoint_; }
  // The end text of the last run.
  const std::string& endText() const { return endText_; }

 private:
  struct PieceOutcome {
    std::string failure;   // empty on success
    bool stopped = false;  // Stop came before or while its engine ran
    bool ran = true;       // its engine was started
    bool wrote = false;    // and ended well, with its output finalised
  };
  // One engine of the run and what belongs to it alone.
  struct Lane {
    EngineLink* link = nullptr;
    std::unique_ptr<EngineLink> own;  // a lane's link when several run
    // The engine's warnings of the piece that ran last.
    std::vector<std::string> pieceWarnings;
    std::atomic<int> itemNumber{0};  // running, 1-based; 0: none
    std::atomic<std::int64_t> order{0};
  };
  PieceOutcome RunPiece(Lane& lane, const std::string& baseCommand, const Piece& piece);
  // False when the item failed.
  bool ConvertItem(Lane& lane, const SourceItem& item, const ItemValues& values, int index);
  // The overwrite policy on the files the item would write; false: skip it.
  bool MayWrite(const SourceItem& item, int policy);
  // The stopped piece's output goes aside; the run remembers where.
  void NoteStoppedPiece(Lane& lane, const SourceItem& item, int index, const Piece& piece,
                        bool wrote);
  // One item of the run; false when the run ends here (Stop).
  bool RunItem(Lane& lane, const SourceItem& item, int index, int count, int policy,
               std::string shared);
  // The items from the next one on, by lanes of their own at once.
  void RunLanes(std::size_t count, int policy, const std::vector<std::string>& sharing);
  void MakeLanes(std::size_t count);
  // The items of this run's share after position index.
  int NotStartedAfter(int index, int count) const;
  void AddFailure(int index, const std::string& source, const std::string& reason);
  void ItemDone(const SourceItem& item);
  // Why the item must not run: an earlier item of this run wrote its file.
  std::string WrittenBefore(const SourceItem& item) const;
  void Finish();
  std::vector<const EngineLink*> LaneLinks() const;
  static void RemoveTemporaryFiles(const std::string& output, int pid);
  // Temporary files in the folder whose engine no longer runs.
  static void RemoveStaleTemporaryFiles(const std::string& folder);
  // Creates missing output folders; the reason when one cannot be written.
  std::string PrepareOutputFolders();

  ItemList& items_;
  EngineLink& link_;
  BatchHost& host_;
  std::thread thread_;
  std::atomic<bool> threadRunning_{false};
  // Held from the stop check before a launch until the engine has started, so
  // Stop either keeps the launch from happening or finds the new engine.
  std::mutex launchMutex_;
  std::mutex itemsMutex_;
  std::atomic<bool> stopRequested_{false};
  std::vector<std::string> sources_;  // the list's file sources, for this run
  StopPoint stopPoint_;
  std::vector<std::pair<int, ItemOutputs>> written_;  // item number, its files
  std::string endText_;
  std::vector<ItemFailure> failures_;
  std::vector<ItemWarning> warnings_;
  int skipped_ = 0;
  int converted_ = 0;
  int jobs_ = 1;
  int shareIndex_ = 0;
  int shareCount_ = 1;
  // What several lanes share: the lists above, written_, stopPoint_, the
  // counts and the work finished. Taken briefly, never around an engine.
  mutable std::mutex stateMutex_;
  // One question at a time, whichever lane asks.
  std::mutex askMutex_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  std::atomic<std::size_t> nextItem_{0};
  std::atomic<int> laneCount_{1};
  std::atomic<std::int64_t> starts_{0};
  double finishedWork_ = 0;
  std::size_t itemCount_ = 0;  // of this run
};

}  // namespace orv
