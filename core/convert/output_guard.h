// What a run may write: the files each item writes (its output, or the
// pieces of a split item), which of them exist already, and whether one of
// them is another item's file or any source in the list.
#pragma once

#include <string>
#include <vector>

#include "core/settings/source_item.h"

namespace orv {

// The files one item writes. A split item writes base_clip_1.ext,
// base_clip_2.ext, ... as many as its length needs.
struct ItemOutputs {
  bool split = false;
  std::string path;       // unsplit: the one output, as a comparable path
  std::string base, ext;  // split: the pieces' common part, comparable
};

ItemOutputs OutputsOf(const SourceItem& item);

// True when some file is written by both.
bool OutputsOverlap(const ItemOutputs& a, const ItemOutputs& b);

// The files of this item that exist now, the first piece first.
std::vector<std::string> ExistingOutputs(const SourceItem& item);

// For each item, why it must not run because an earlier item writes one of
// its files ("" when nothing is shared).
std::vector<std::string> SharedOutputReasons(const ItemList& items);

// The file sources of the list (DVD titles are no files).
std::vector<std::string> SourcePaths(const ItemList& items);

// Why `output` must not be written: it is one of the sources ("" when not).
std::string SourceConflict(const std::vector<std::string>& sources, const std::string& output);

}  // namespace orv
