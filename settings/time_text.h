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
// Fixed notation with six decimals ("3.500000"), as command lines carry them.
std::string FormatFixed6(double value);

}  // namespace orv
