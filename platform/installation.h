// Where the program, its engine, its settings and the engine's working folder
// live. Callers get these folders injected so tests can run against temporary
// folders.
#pragma once

#include <string>

namespace orv {

inline constexpr char kPathSeparator = '/';
inline constexpr const char* kEngineFileName = "orvantic-engine";
inline constexpr const char* kSettingsFileName = "orvantic.ini";
inline constexpr const char* kHelpFileName = "help.html";
// The engine reads its [DRIVES] section from the file this names.
inline constexpr const char* kSettingsFileVariable = "ORVANTIC_SETTINGS_FILE";

struct Installation {
  std::string programFolder;  // ends with '/'; the engine working folder
  std::string engineFolder;   // folder holding the engine executable
  std::string settingsFile = {};  // empty: programFolder + "orvantic.ini"
  std::string helpFolder = {};    // folder of help.html; empty: programFolder

  std::string EngineLocation() const;   // engineFolder + "/orvantic-engine"
  std::string SettingsFilePath() const; // settingsFile, else programFolder + "orvantic.ini"
  std::string HelpFilePath() const;
};

// Folder of the running executable (from its real path), with a trailing '/'.
std::string ExecutableFolder();

// What CurrentInstallation looks at; tests fill it in themselves.
struct InstallationInputs {
  std::string executableFolder;  // ends with '/'
  std::string engineDirVariable;     // ORVANTIC_ENGINE_DIR
  std::string configHomeVariable;    // XDG_CONFIG_HOME
  std::string runtimeDirVariable;    // XDG_RUNTIME_DIR
  std::string homeVariable;          // HOME
  std::string tempFolder = "/tmp";
  unsigned userId = 0;
};

// Where an installed copy keeps its engine and its data, relative to the
// executable's folder (bin/ beside libexec/ and share/); the build sets them
// from its install folders.
extern const char* const kInstalledEngineFolder;
extern const char* const kInstalledDataFolder;

// A copy whose folder the user can write (a build folder, a portable copy)
// keeps its settings and working files beside the program. An installed copy
// (its data folder ../share/orvantic exists) or one in a folder the user
// cannot write keeps them per user: settings in
// $XDG_CONFIG_HOME/orvantic/orvantic.ini (~/.config by default), working files
// in $XDG_RUNTIME_DIR/orvantic/, else in a private 0700 folder under /tmp.
// The engine sits beside the program, else in ../libexec/orvantic/;
// ORVANTIC_ENGINE_DIR names another engine folder. Creates the per-user
// folders it returns.
Installation ResolveInstallation(const InstallationInputs& in);
Installation CurrentInstallation();

// True when the program folder is kept per user (see above).
bool UsesUserFolders(const std::string& executableFolder);

// Makes folder (and its parents) with mode; for a private folder also checks
// that it is a real folder owned by uid that nobody else may enter. False
// when it cannot be used.
bool MakePrivateFolder(const std::string& folder, unsigned uid);

// Appends name to folder with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace orv
