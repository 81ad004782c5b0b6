#include "core/link/identification.h"

#include "platform/files.h"

namespace orv {

Identified Identify(EngineLink& link, const std::string& source, bool unquoted) {
  link.PrepareFolder(link.lane ? link.folder : link.installation().programFolder);
  // An earlier answer that cannot be removed (a read-only working folder)
  // would be read back as this source's.
  if (!DeleteByName(link.mediaInfoPath)) return Identified::NoAnswer;
  link.WriteControl(EngineCommand::Stop);
  if (link.RunIdentify(source, true, unquoted).busy) return Identified::EngineBusy;
  return link.ReadMediaInfo() && link.Duration() != 0.0 ? Identified::Yes : Identified::NoAnswer;
}

int CountStreamList(const int32_t (&ids)[kMaxStreams]) {
  int n = 0;
  while (n < kMaxStreams && ids[n] >= 0) ++n;
  return n;
}

}  // namespace orv
