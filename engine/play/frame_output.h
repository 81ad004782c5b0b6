// Pictures into the window's picture channel: each frame scaled to the
// panel's size in device pixels with its display aspect kept, converted to
// 32-bit BGRX and published; the window paints it. Works on any desktop
// session, since no window of ours is involved.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavutil/frame.h>
}

#include "shared/frame_channel.h"

struct SwsContext;

namespace orv::engine {

class FrameOutput {
 public:
  // The channel on the inherited descriptor fd; null with error set.
  static std::unique_ptr<FrameOutput> Open(int fd, std::string& error);
  ~FrameOutput();
  FrameOutput(const FrameOutput&) = delete;
  FrameOutput& operator=(const FrameOutput&) = delete;

  void show(const AVFrame* frame);

 private:
  FrameOutput() = default;
  std::unique_ptr<FrameChannel> channel_;
  SwsContext* scaler_ = nullptr;
};

// The descriptor named by the environment for the picture channel, -1
// without one; a value that is no descriptor number is an error.
int FrameChannelDescriptor(std::string& error);

}  // namespace orv::engine
