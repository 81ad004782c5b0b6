// The running processes with their full executable paths, and the engine test
// built on it.
#pragma once

#include <string>
#include <vector>

namespace orv {

struct ProcessEntry {
  int pid = 0;
  std::string path;  // empty when the process's executable cannot be read
};

std::vector<ProcessEntry> ListProcesses();

// True when a process of this user runs whose executable path equals
// engineLocation byte for byte. Another copy of the engine, a path differing
// in case, or the same engine run by another user is not it.
bool IsEngineRunning(const std::string& engineLocation);

}  // namespace orv
