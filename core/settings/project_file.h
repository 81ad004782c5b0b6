// Project files: the whole source list, every item with its source, output,
// identification, DVD selection, profile and settings, in a fixed record of
// 34 fields and no header.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/settings/archive.h"
#include "core/settings/source_item.h"

namespace orv {

inline constexpr const char* kProjectSaveFilter = "Project Files(*.vpt)|*.vpt||";
inline constexpr const char* kProjectOpenFilter = "Project Files|*.vpt||";
inline constexpr const char* kProjectExtension = "vpt";

void WriteItemRecord(ArchiveWriter& out, const SourceItem& item);
// False (and *item partly filled) when the data ends or is damaged.
bool ReadItemRecord(ArchiveReader& in, SourceItem* item);

std::string ProjectBytes(const ItemList& items);

enum class ProjectLoad { Ok, OpenFailed, Damaged };

struct ProjectContents {
  ItemList items;           // every record read, in file order
  int32_t storedCount = 0;  // the count the file gives
  std::string error;        // for OpenFailed and Damaged: the message to show
  // Items read but left out, each with why, in file order: "item 3: Video
  // bitrate '12 00' is not a number".
  std::vector<std::string> leftOut;
};

// Why an item read from a project cannot be used here, or "" when it can.
using ItemCheck = std::function<std::string(const SourceItem&)>;

// Reads every record; on damage the records before it stay in `items` and
// `error` says where the file went wrong and how many items were read. Items
// whose texts are no values, or that fail `usable`, go to `leftOut`. A file
// that cannot be read, or is too large to be a project, is OpenFailed with
// `error` naming the file and the reason.
ProjectLoad LoadProjectFile(const std::string& path, ProjectContents* contents,
                            const ItemCheck& usable = {});
ProjectLoad ParseProject(const std::string& bytes, const std::string& fileName,
                         ProjectContents* contents, const ItemCheck& usable = {});
// Saved whole or not at all (WriteFileAtomically); on failure *reason (when
// given) is the system's reason and the old file is as it was.
bool SaveProjectFile(const std::string& path, const ItemList& items, std::string* reason = nullptr);

// The check of Open Project and the console: a file source must be there; a
// DVD title ("DVD_DRIVE_E") needs its drive letter among driveRoots ("E:\"),
// an optical drive or a [DRIVES] entry.
std::string SourceUnavailable(const SourceItem& item, const std::vector<std::string>& driveRoots);

}  // namespace orv
