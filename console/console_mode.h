// orvantic --convert: the batch run from a terminal, without the GUI.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/installation.h"
#include "core/settings/app_settings.h"

namespace orv {

struct ConsoleOptions {
  int profile = 0;
  std::string profileFile;   // a saved profile every file gets, in place of --profile
  std::string outputFolder;  // empty: the OutputPath setting
  int overWriteType = -1;    // -1: the OverWriteType setting
  bool verbose = false;
  std::string saveProject;   // write the list to this project instead of converting
  int jobs = 0;              // items converted at once; 0: the setting
  // Convert only the items whose position modulo shardCount is shardIndex
  // (--shard K/N, else a Slurm array task's numbers).
  int shardIndex = 0;
  int shardCount = 1;
  bool shardGiven = false;
  std::vector<std::string> files;  // media files and .vpt projects, in order
};

// Parses the words after the program name. False with a message in *error
// on a usage error.
bool ParseConsoleArgs(const std::vector<std::string>& args, ConsoleOptions* options,
                      std::string* error);

// "K/N" with 0 <= K < N: the share K of N. False with a message otherwise.
bool ParseShard(const std::string& text, int* index, int* count, std::string* error);
// The share from a Slurm array job's variables (taskId, taskCount, taskMin
// as the environment gives them; null when unset). False with a message
// when they are set but not numbers that make a share.
bool ShardFromSlurm(const char* taskId, const char* taskCount, const char* taskMin, int* index,
                    int* count, std::string* error);

// The text of orvantic --help.
std::string UsageText();

// True when the words ask for the console mode (--convert or --help).
bool WantsConsoleMode(const std::vector<std::string>& args);

// Runs the console mode: 0 all files added and converted, 1 some not,
// 2 usage error, 130 interrupted. A desktop, when given, keeps the machine
// awake while the run converts.
int RunConsole(const std::vector<std::string>& args, const Installation& installation,
               AppSettings& settings, Desktop* desktop = nullptr);

}  // namespace orv
