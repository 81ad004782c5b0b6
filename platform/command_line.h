// Command lines as single texts, the way the engine launcher builds them, and
// their splitting into argv by the rules of the Windows C runtime.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Splits a command line into arguments: blanks and tabs separate arguments
// outside quotes; "..." groups; 2n backslashes before a quote give n
// backslashes and the quote toggles quoting; 2n+1 give n backslashes and a
// literal quote; backslashes not followed by a quote are literal; "" inside a
// quoted run gives a literal quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
// Always quoted, so a leading dash or blank never becomes a separate option.
std::string QuoteArg(std::string_view text);

}  // namespace orv
