// How a run ends: the text the user reads, the partial output of an item
// that was stopped, and the record kept in the working folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orv {

inline constexpr const char* kCompleteMessage = "Complete!";
inline constexpr const char* kStoppedMessage = "Stopped: the list was not converted to its end.";
// The run's end text is kept here (in the engine working folder) as well, so
// that a power-off at the end does not take it with it.
inline constexpr const char* kRunLogFile = "run.log";
inline constexpr int kPowerOffCountdownSeconds = 60;

struct ItemFailure {
  int itemNumber = 0;  // 1-based
  std::string sourcePath;
  std::string reason;
};

// An item converted with something the user should know (the same fields:
// reason says what happened).
using ItemWarning = ItemFailure;

// Where a run ended by Stop left off.
struct StopPoint {
  int itemNumber = 0;         // the item that was running or next; 0: none
  std::string sourcePath;
  std::string partialOutput;  // what the stopped engine wrote, moved aside
  double position = -1;       // seconds of it converted, -1 unknown
  int notStarted = 0;         // items after it that never started
};

// "Complete!" with the failed items and the items converted with warnings.
std::string CompleteText(const std::vector<ItemFailure>& failures,
                         const std::vector<ItemWarning>& warnings);

// The outcome of a run that was not stopped, in the one line a desktop
// notice has: "Complete!" or "2 of 6 items failed".
std::string RunNoticeText(std::size_t failed, std::size_t items);

// The end text of a run ended by Stop: where it stopped, where the partial
// output is, then the failures and warnings as above.
std::string StoppedText(const StopPoint& stop, const std::vector<ItemFailure>& failures,
                        const std::vector<ItemWarning>& warnings);

// Moves a stopped engine's output to a name of its own beside it
// ("film.mp4" to "film.partial.mp4", then "film.partial_1.mp4", ...), never
// over an existing file, so no later run takes it for a finished output.
// The new path, or "" when it could not be moved (it is removed then).
std::string SetPartialAside(const std::string& output);

// Appends the text, with the time, to kRunLogFile in folder and flushes it
// to the disk. False when it could not be written.
bool AppendRunLog(const std::string& folder, const std::string& text);

}  // namespace orv
