// The rules of the source list: adding files (naming, de-duplication,
// identification, profile defaults), deleting, clearing, output names and
// re-basing. The GUI's list control and the console mode both use these.
#pragma once

#include <optional>
#include <string>

#include "core/settings/source_item.h"
#include "core/link/engine_link.h"
#include "core/link/identification.h"

namespace orv {

inline constexpr const char* kAddFileFilter =
    "Supported Files|*.avi;*.mov;*.dv;*.mov;*.qt;*.mp4;*.yuv;*.rm;*.rmvb;*.wmv;*.asf;*.mpg;*.mpeg;"
    "*.dat;*.vob|avi files(*.avi)|*.avi|dv video file(*.dv)|*.dv|quick time file(*.mov,*.qt)|"
    "*.mov;*.qt|mp4 files(*.mp4)|*.mp4|yuv files(*.yuv)|*.yuv|real media files(*.rm,*.rmvb)|"
    "*.rm;*.rmvb|windows media files(*.wmv,*.asf)|*.wmv;*.asf|mpeg files(*.mpg,*.mpeg)|"
    "*.mpg;*.mpeg|VCD file(*.dat)|*.dat|DVD file(*.vob)|*.vob||";

inline constexpr const char* kConvertingRefusal =
    "Please stop converting the videos and then add files to the list.";
inline constexpr const char* kNoOutputFolder = "Please specify a directory for output.";
inline constexpr const char* kNoProfile = "Please select a profile.";
inline constexpr const char* kNoSelection = "Please select a video in the list first!";

// folder + '/' (unless it ends with one) + name.
std::string OutputPathIn(const std::string& folder, const std::string& name);

// True when candidate is an item's output, a file item's source, or the
// source being added (compared as files, whatever the spelling).
bool OutputNameTaken(const ItemList& items, const std::string& candidate,
                     const std::string& newSource = {});

// folder/base.extension, with "_1" added while OutputNameTaken says so.
std::string UniqueOutputPath(const ItemList& items, const std::string& folder, std::string base,
                             const std::string& extension, const std::string& newSource = {});

// The output path a new file item gets, or nothing when the path is already
// in the list: the source's name made unique as UniqueOutputPath does.
std::optional<std::string> PlanOutputPath(const ItemList& items, const std::string& sourcePath,
                                          const std::string& folder,
                                          const std::string& extension);

struct AddContext {
  std::string outputFolder;
  int profile = 0;                             // 0..3, or kCustomizedProfile
  std::string extension;                       // from the profile (or the grid)
  const ConversionSettings* gridTexts = nullptr;  // the grid rows, for profile 4
};

enum class AddResult { Added, AlreadyListed, NotIdentified, EngineBusy };

// What a new file item takes from its identification: small enough to pass
// from a reading thread to the window.
struct FileAnswer {
  Identified result = Identified::NoAnswer;
  double duration = 0.0;
  int32_t width = 0;
  int32_t height = 0;
};
FileAnswer AnswerOf(Identified result, const MediaInfo& info);

// Identifies one file (its path passed quoted) through the engine and waits.
FileAnswer IdentifyFile(EngineLink& link, const std::string& path);

// True when the path is some item's source already (exact comparison).
bool IsListed(const ItemList& items, const std::string& path);

// Appends the item of an identified file: output path planned against the
// items as they are now, settings from the profile. A file already listed,
// or one the engine did not identify, leaves the list as it was.
AddResult AddIdentifiedFile(ItemList& items, const std::string& path, const AddContext& context,
                            const FileAnswer& answer);

// Adds one file: IdentifyFile, then AddIdentifiedFile. A listed file is not
// identified again.
AddResult AddFile(ItemList& items, const std::string& path, const AddContext& context,
                  EngineLink& link);

// Fills the settings of a file item from the profile (or the grid texts for
// the customized profile) and the identification answer.
void InitFileItem(SourceItem& item, const AddContext& context, const FileAnswer& answer);
inline void InitFileItem(SourceItem& item, const AddContext& context, const MediaInfo& info) {
  InitFileItem(item, context, AnswerOf(Identified::Yes, info));
}

// The settings texts a new item gets: profile 0..3's defaults, or the grid
// rows' texts under the customized profile.
void ApplyProfileSettings(ConversionSettings& item, int profile,
                          const ConversionSettings* gridTexts);

// The path Set Output File Name gives for the typed name.
std::string RenamedOutputPath(const std::string& outputPath, const std::string& name,
                              const std::string& outputFormat);

// Moves every item's output into folder, keeping its file name.
void RebaseOutputPaths(ItemList& items, const std::string& folder);

// The text before the last '.' of a path (empty without a '.').
std::string OutputBase(const std::string& outputPath);

}  // namespace orv
