#include "engine/av_support.h"

#include <cstdio>

namespace orv::engine {

std::string AvErrorText(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "orvantic-engine: warning: %s\n", message.c_str());
}

FramePtr MakeFrame() {
  FramePtr f(av_frame_alloc());
  if (!f) throw EngineError("out of memory");
  return f;
}

PacketPtr MakePacket() {
  PacketPtr p(av_packet_alloc());
  if (!p) throw EngineError("out of memory");
  return p;
}

}  // namespace orv::engine
