#include "mediaengine/av_support.h"

namespace orv::engine {

std::string AvErrorText(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
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
