// orvantic --convert: the batch run from a terminal, without the GUI.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/installation.h"
#include "settings/app_settings.h"

namespace orv {

struct ConsoleOptions {
  int profile = 0;
  std::string profileFile;   // a saved profile every file gets, in place of --profile
  std::string outputFolder;  // empty: the OutputPath setting
  int overWriteType = -1;    // -1: the OverWriteType setting
  bool verbose = false;
  std::string saveProject;   // write the list to this project instead of converting
  std::vector<std::string> files;  // media files and .vpt projects, in order
};

// Parses the words after the program name. False with a message in *error
// on a usage error.
bool ParseConsoleArgs(const std::vector<std::string>& args, ConsoleOptions* options,
                      std::string* error);

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
