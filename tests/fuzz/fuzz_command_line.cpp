// The command-line splitter on any text, and QuoteArg's promise: any list of
// arguments, each quoted and joined by blanks, splits back into that list.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv;
  const auto text = fuzz::Bytes(data, size);
  for (const std::string& arg : SplitCommandLine(text))
    if (arg.size() > text.size()) std::abort();  // an argument is never longer than the line

  // Arguments are the parts between zero bytes (none can hold a zero byte).
  const std::vector<std::string> args = fuzz::Parts(text, '\0');
  std::string line;
  for (const std::string& arg : args) line += (line.empty() ? "" : " ") + QuoteArg(arg);
  if (SplitCommandLine(line) != args) std::abort();
  // Blanks before, between and after change nothing.
  if (SplitCommandLine(" \t" + line + "\t ") != args) std::abort();
  return 0;
}
