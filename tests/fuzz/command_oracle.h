// The fuzz targets' oracle for command lines built from stored settings: the
// words of the line are the builder's own options, each where the builder
// puts it, and nothing read from a file adds an option.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "core/convert/encode_command.h"
#include "platform/command_line.h"
#include "core/settings/source_item.h"

namespace orv::fuzz {

inline void CheckEncodeLine(const SourceItem& item, const Installation& installation) {
  static const std::set<std::string> kOptions = {
      "-af",  "-srate",     "-vf",      "-ofps",    "-oac",    "-ovc",       "-lavcopts",
      "-of",  "-lavfopts",  "-ffourcc", "-nosound", "-lameopts", "-dvd-device", "-chapter",
      "-aid", "-sid"};
  // Settings that passed the reader are values, always.
  const std::optional<ItemValues> values = ParseItemValues(item);
  if (!values) std::abort();
  const std::vector<std::string> words =
      SplitCommandLine(BuildEncodeCommand(item, *values, installation));
  if (words.size() < 2 || words[0] != installation.EngineLocation()) std::abort();
  if (!IsDvdSource(item.sourcePath) && words[1] != item.sourcePath) std::abort();
  std::map<std::string, int> seen;
  for (std::size_t i = IsDvdSource(item.sourcePath) ? 1 : 2; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.empty() || w[0] != '-') continue;
    // A word starting with '-' is an option of ours, each once at most (the
    // audio-only MP4 line names its container twice, as it always has).
    if (!kOptions.count(w) || ++seen[w] > (w == "-of" ? 2 : 1)) std::abort();
    // Values read back as the checked values they came from.
    const std::string next = i + 1 < words.size() ? words[i + 1] : std::string();
    if (w == "-srate" && next != values->sampleRate) std::abort();
    if (w == "-ofps" && next != values->frameRate) std::abort();
    if (w == "-lameopts" && next != "cbr:br=" + values->audioKbps + ":mode=0") std::abort();
    if (w == "-lavcopts" && next.find("bitrate=" + values->videoKbps) == std::string::npos &&
        next.find("abitrate=" + values->audioKbps) == std::string::npos)
      std::abort();
  }
}

}  // namespace orv::fuzz
