// Project files: the whole source list, every item with its source, output,
// identification, DVD selection, profile and settings, in a fixed record of
// 34 fields and no header.
#pragma once

#include <string>
#include <vector>

#include "settings/archive.h"
#include "settings/source_item.h"

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
  ItemList items;          // every record read, in file order
  int32_t storedCount = 0;  // the count the file gives
  std::string error;       // for Damaged: the message to show
  // Items read but left out, each with why: "item 3: Video bitrate '12 00'
  // is not a number".
  std::vector<std::string> leftOut;
};

// Reads every record; on damage the records before it stay in `items` and
// `error` says where the file went wrong and how many items were read.
ProjectLoad LoadProjectFile(const std::string& path, ProjectContents* contents);
ProjectLoad ParseProject(const std::string& bytes, const std::string& fileName,
                         ProjectContents* contents);
bool SaveProjectFile(const std::string& path, const ItemList& items);

}  // namespace orv
