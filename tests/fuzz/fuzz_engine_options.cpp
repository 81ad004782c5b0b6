// The engine's option parser on any argument list (the parts of the input
// between zero bytes) and its value parsers on any text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/options.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv::engine;
  const auto text = orv::fuzz::Bytes(data, size);
  const std::vector<std::string> args = orv::fuzz::Parts(text, '\0');
  ParseResult parsed = ParseCommandLine(args);
  if (parsed.ok()) {
    OutputPlan plan;
    PlanOutput(parsed.options, plan);
    if (!std::isfinite(parsed.options.startSeconds) || parsed.options.startSeconds < 0) std::abort();
  }

  if (auto t = ParseTimeValue(text); t && !std::isfinite(*t)) std::abort();
  if (auto e = ParseEndPosition(text); e && !std::isfinite(e->seconds)) std::abort();
  LavcOptions lavc;
  ParseLavcOptions(text, lavc);
  LameOptions lame;
  ParseLameOptions(text, lame);
  std::string format;
  ParseLavfOptions(text, format);
  SplitList(text, ':');
  return 0;
}
