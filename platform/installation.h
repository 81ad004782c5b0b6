// Where the program and its engine live. Callers get these folders injected
// so tests can run against temporary folders.
#pragma once

#include <string>

namespace orv {

inline constexpr char kPathSeparator = '/';
inline constexpr const char* kEngineFileName = "orvantic-engine";
inline constexpr const char* kSettingsFileName = "orvantic.ini";

struct Installation {
  std::string programFolder;  // ends with '/'; the engine working folder
  std::string engineFolder;   // folder holding the engine executable

  std::string EngineLocation() const;   // engineFolder + "/orvantic-engine"
  std::string SettingsFilePath() const; // programFolder + "orvantic.ini"
};

// Folder of the running executable (from its real path), with a trailing '/'.
std::string ExecutableFolder();

// The program folder and engine folder of this process: both the executable's
// folder unless ORVANTIC_ENGINE_DIR names another engine folder.
Installation CurrentInstallation();

// Appends name to folder with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace orv
