#include "core/convert/piece_plan.h"

#include <algorithm>
#include <cmath>

#include "core/settings/source_list.h"
#include "core/convert/encode_command.h"
#include "platform/text.h"

namespace orv {
namespace {

bool IsMp3(const SourceItem& item) { return AsciiLower(item.outputFormat) == "mp3"; }

// Pieces shorter than this hold no frame worth a file.
constexpr double kMinPieceSeconds = 0.01;
// Far above any real split (a day in one-second pieces); a damaged project's
// duration must not plan billions of runs or overflow the piece number.
constexpr double kMaxPieces = 100000;

}  // namespace

SplitKind SplitKindOf(const SourceItem& item) {
  if (IsMp3(item) || SplitText(item.splitMode).empty()) return SplitKind::None;
  return item.clipEnabled ? SplitKind::Trimmed : SplitKind::Untrimmed;
}

std::string ClipName(const SourceItem& item, int k) {
  return OutputBase(item.outputPath) + "_clip_" + std::to_string(k) + "." + item.outputFormat;
}

Piece FirstPiece(const SourceItem& item) {
  const std::string split = SplitText(item.splitMode);
  switch (SplitKindOf(item)) {
    case SplitKind::Untrimmed:
      return {RangeSplitFromZero(split), ClipName(item, 1)};
    case SplitKind::Trimmed:
      return {RangeSplit(item.clipStartSeconds, split), ClipName(item, 1)};
    case SplitKind::None:
      break;
  }
  if (item.clipEnabled) {
    return {RangeSeconds(item.clipStartSeconds, item.clipEndSeconds - item.clipStartSeconds),
            item.outputPath};
  }
  return {"", OutputBase(item.outputPath) + "." + item.outputFormat};
}

std::vector<Piece> LaterPieces(const SourceItem& item, double d) {
  std::vector<Piece> pieces;
  const SplitKind kind = SplitKindOf(item);
  if (kind == SplitKind::None || !std::isfinite(d) || d <= 0) return pieces;
  const std::string split = SplitText(item.splitMode);
  if (kind == SplitKind::Untrimmed) {
    const double n = std::min(std::floor(item.duration / d) + 1, kMaxPieces);
    for (int k = 2; k <= n; ++k) {
      // Untrimmed pieces cover the whole source: a clip start stored with the
      // clip switched off (a project can carry one) must not skip its
      // beginning, as the first piece starts at 0.
      double start = (k - 1) * d;
      if (start >= item.duration) break;
      pieces.push_back({RangeSplit(start, split), ClipName(item, k)});
    }
    return pieces;
  }
  const double clipLength = item.clipEndSeconds - item.clipStartSeconds;
  if (!(d <= clipLength)) return pieces;  // the first piece holds the whole clip
  const int n = static_cast<int>(std::min(clipLength / d, kMaxPieces));
  for (int k = 2; k <= n; ++k)
    pieces.push_back({RangeSplit((k - 1) * d + item.clipStartSeconds, split), ClipName(item, k)});
  const double lastStart = n * d + item.clipStartSeconds;
  const double rest = item.clipEndSeconds - lastStart;
  if (rest >= kMinPieceSeconds)
    pieces.push_back({RangeSeconds(lastStart, rest), ClipName(item, n + 1)});
  return pieces;
}

}  // namespace orv
