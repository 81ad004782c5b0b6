// Every settings text is checked where it enters (a project or profile file,
// the grid, the console) before it may reach an engine command line: one
// rule per field, in the ranges the engine accepts. A text that is not a
// value never becomes a word of a command line.
#pragma once

#include <optional>
#include <string>

#include "core/settings/conversion_settings.h"

namespace orv {

// What is wrong with one field: "Video bitrate '12 00' is not a number".
struct FieldProblem {
  std::string caption;  // the field's caption as the grid shows it
  std::string value;
  std::string reason;
  std::string Text() const { return caption + " '" + value + "' " + reason; }
};

// Why `value` cannot be the value of the grid row `caption` ("" when it can,
// and for captions without a rule).
std::string FieldValueProblem(const std::string& caption, const std::string& value);

// "CRF 23", "crf23" (any case, blanks between): a constant quality 0..63;
// nothing for any other text.
std::optional<int> ParseCrf(const std::string& text);

// A combination of valid fields that cannot be encoded: a codec the output
// format cannot hold, a constant quality the video codec does not take.
std::optional<FieldProblem> CombinationProblem(const ConversionSettings& settings);

// The first field of these settings that cannot be used, or nothing. The
// clip is checked against the source's length when it is known (> 0).
std::optional<FieldProblem> CheckSettings(const ConversionSettings& settings, double duration);
// The same for the texts only, without the clip.
std::optional<FieldProblem> CheckSettingsTexts(const ConversionSettings& settings);

// A split text as the engine takes it: lower case, without blanks ("650 MB"
// gives "650mb"); "" for "Not split" in any case and spacing.
std::string SplitText(const std::string& splitMode);

// The clip of these settings, when it is on: start, end, within the source.
std::optional<FieldProblem> CheckClip(const ConversionSettings& settings, double duration);

// Names in the case the command-line builders compare them in ("Default"
// becomes "default", "Left Mono" "left mono", "H264" "h264"): texts are
// normalised once, where they enter.
void NormaliseSettings(ConversionSettings& settings);

}  // namespace orv
