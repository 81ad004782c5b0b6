// The three status files shared with the GUI in the working folder.
#pragma once

#include <ctime>
#include <string>

#include "shared/records.h"

namespace orv::engine {

// Joins the working folder (which ends with '/', or is empty for the
// current directory) and a file name.
std::string StatusPath(const std::string& folder, const char* name);

// Reads vctrl.dat. A missing or short file leaves the last command in force.
class ControlPoller {
 public:
  explicit ControlPoller(std::string folder);
  EngineCommand poll();

 private:
  std::string path_;
  EngineCommand last_ = EngineCommand::Run;
  timespec started_{};
};

// Writes vprog.dat as one 8-byte double, replaced whole each time.
class PositionWriter {
 public:
  explicit PositionWriter(const std::string& folder);
  ~PositionWriter();
  PositionWriter(const PositionWriter&) = delete;
  PositionWriter& operator=(const PositionWriter&) = delete;

  void write(double seconds);

 private:
  int fd_ = -1;
};

// Writes videoinfo.dat whole (temp file + rename); throws EngineError.
void WriteMediaInfo(const std::string& folder, const MediaInfo& info);

}  // namespace orv::engine
