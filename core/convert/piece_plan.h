// How one item is cut into engine runs: the first piece, and once it has been
// measured, the pieces that follow.
#pragma once

#include <string>
#include <vector>

#include "core/settings/settings_check.h"
#include "core/settings/source_item.h"

namespace orv {

struct Piece {
  std::string range;   // range part of the command line (may be empty)
  std::string output;  // output file name
};

enum class SplitKind { None, Untrimmed, Trimmed };

SplitKind SplitKindOf(const SourceItem& item);

// The first (for an unsplit item, the only) engine run.
Piece FirstPiece(const SourceItem& item);

// The runs after the first piece of a split item, whose measured length is
// firstLength. Pieces that would start at or past the end hold nothing and
// are left out.
std::vector<Piece> LaterPieces(const SourceItem& item, double firstLength);

// base + "_clip_" + k + "." + format.
std::string ClipName(const SourceItem& item, int k);

}  // namespace orv
