// Small RAII and error helpers around the FFmpeg C API.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

namespace orv::engine {

// Any failure that ends the run; the message becomes the one stderr line.
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string AvErrorText(int code);

// One "orvantic-engine: warning: ..." line on stderr: the run goes on.
void Warn(const std::string& message);

// Throws EngineError("<what>: <library message>") when code < 0.
inline int check(int code, const std::string& what) {
  if (code < 0) throw EngineError(what + ": " + AvErrorText(code));
  return code;
}

struct InputDeleter {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct GraphDeleter {
  void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

FramePtr MakeFrame();
PacketPtr MakePacket();

}  // namespace orv::engine
