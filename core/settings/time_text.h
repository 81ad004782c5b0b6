// Clip and duration times as texts, independent of the C locale.
#pragma once

#include <optional>
#include <string>

namespace orv {

// "hh:mm:ss.xx", every part truncated. Negative or non-finite values give
// "00:00:00.00".
std::string FormatTime(double seconds);
// "hh:mm:ss" for DVD titles.
std::string FormatDvdTime(double seconds);
// Reads "hh:mm:ss[.xx]", "mm:ss[.xx]" or plain seconds; nothing on bad text.
std::optional<double> ParseTime(const std::string& text);
// A time typed into the grid: "HH:MM:SS.hh" read from fixed positions
// (0-1, 3-4, 6-7, 9-10), each field its leading digits (none: 0), so a text
// of any length gives a value.
double ReadFixedTimeText(const std::string& text);
// True for a text that, without blanks at either end, is eleven characters
// with ':' at 2 and 5 and '.' at 8.
bool LooksLikeTimeText(const std::string& text);
// Fixed notation with six decimals ("3.500000"), as command lines carry them.
std::string FormatFixed6(double value);

}  // namespace orv
