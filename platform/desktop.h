// What a run asks of the desktop session: that the machine does not sleep
// while it converts, and a notice when it has ended. The GUI implements it
// over D-Bus; where a service is missing, a call does nothing.
#pragma once

#include <memory>
#include <string>

namespace orv {

// The machine stays awake for as long as this lives.
class SleepBlock {
 public:
  virtual ~SleepBlock() = default;
};

// What the system is told when it asks why it may not sleep.
inline constexpr const char* kSleepBlockReason = "Converting videos";

// The notice's action that opens the output folder.
inline constexpr const char* kOpenFolderAction = "open-folder";

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Asks the system not to sleep, saying why; null when nobody listens.
  // Callable from any thread.
  virtual std::unique_ptr<SleepBlock> BlockSleep(const std::string& why) = 0;
  // A notice saying how the run ended, whose action opens folder.
  virtual void NoticeRunEnd(const std::string& text, const std::string& folder) = 0;
};

}  // namespace orv
