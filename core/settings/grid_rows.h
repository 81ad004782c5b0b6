// The eighteen rows of the settings grid as data: what each row holds, which
// rows are shown under which profile, format and codec, and how the rows and
// an item's settings are copied into each other. No widgets here; the grid
// widget draws these rows and the main window calls these rules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/conversion_settings.h"

namespace orv {

struct GridRow {
  std::string caption;
  std::string value;
  int32_t kind = 0;  // GridEditor
  std::string options;
  int32_t listOnly = 0;  // 1: the combo box only picks
  bool operator==(const GridRow&) const = default;
};

enum GridEditor : int32_t {
  kEditorCombo = 0,
  kEditorText = 1,
  kEditorColour = 2,
  kEditorFont = 3,
  kEditorFile = 4,
};

// The rows in the order they are built and stored in profile files.
enum GridRowId : int {
  kRowClip,
  kRowStart,
  kRowEnd,
  kRowFormat,
  kRowSplit,
  kRowVideoCodec,
  kRowVideoSize,
  kRowFrameRate,
  kRowVideoBitrate,
  kRowVideoDisabled,
  kRowAudioCodec,
  kRowAudioSample,
  kRowAudioBitrate,
  kRowAudioChannel,
  kRowAudioVolume,
  kRowAudioDisabled,
  kRowQuantizerMin,
  kRowQuantizerMax,
  kGridRowCount
};

using GridRows = std::array<GridRow, kGridRowCount>;
// Which rows the grid shows, top to bottom.
using ShownRows = std::vector<int>;

inline constexpr const char* kZeroTime = "00:00:00.00";

// The rows as the window builds them, and the sixteen it shows then.
GridRows BuildGridRows();
ShownRows InitialShownRows();

// The shown rows for an mp4 item (with or without the quantizer rows) or an
// mp3 one, always in build order with the quantizers after "Video codec".
ShownRows ShownRowsFor(bool mp3, bool quantizers);

// The settings texts of the rows, as items created under the customized
// profile copy them.
ConversionSettings TextsOfRows(const GridRows& rows);

// Fills the rows from an item whose profile is `profile` (the grid shown on a
// list click). customFormat is the loaded profile's output format. Nothing
// (and no change) for a profile above 4, or 4 with a format other than mp3
// and mp4.
std::optional<ShownRows> FillRowsFromItem(GridRows& rows, const ConversionSettings& item,
                                          int profile, const std::string& customFormat);

// Sets the rows for profile p (0..3, or 4 from `custom`); `item` is the
// selected item or null, `duration` its duration. Nothing (and no change)
// when p is out of range or 4 has no usable format.
std::optional<ShownRows> ApplyProfileToRows(GridRows& rows, int p, const ConversionSettings* item,
                                            double duration, const GridRows& custom);

// Writes profile p's rows into the selected item: the clip reset to 0 ..
// duration, the format, split, video (mp4 only), audio and, for the
// customized mp4 profile, quantizer texts. The caller moves the output
// path's extension.
void ApplyProfileToItem(const GridRows& rows, int p, ConversionSettings& item, double duration);

// After a profile file was read into the rows: the values it gives the
// selected item (format, video, audio, quantizers; not split or clip).
void ApplyLoadedProfileToItem(const GridRows& rows, ConversionSettings& item);
// ...and the rows shown then (sets the bitrate options by codec). Nothing
// for a format other than mp3 and mp4.
std::optional<ShownRows> ShownRowsAfterLoad(GridRows& rows, const GridRows& custom);

// Why `value` typed into the row `caption` cannot go with the other rows
// the grid shows (a constant quality the codec does not take): the reason,
// or "" when it can.
std::string TypedValueCombinationProblem(const std::vector<const GridRow*>& shown,
                                         const std::string& caption, const std::string& value);

// A grid edit: the clip flag and every settings text from the rows, shown
// or not. Clip times, output path and profile stay.
void CopyRowsToItem(const GridRows& rows, ConversionSettings& item);

}  // namespace orv
