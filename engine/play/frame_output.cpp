#include "engine/play/frame_output.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace orv::engine {

int FrameChannelDescriptor(std::string& error) {
  const char* text = std::getenv(kFrameFdVariable);
  if (!text || !*text) return -1;
  char* end = nullptr;
  const long fd = std::strtol(text, &end, 10);
  if (*end != '\0' || fd < 0 || fd > 1 << 20) {
    error = std::string("the picture channel '") + text + "' is no descriptor";
    return -1;
  }
  return static_cast<int>(fd);
}

std::unique_ptr<FrameOutput> FrameOutput::Open(int fd, std::string& error) {
  std::unique_ptr<FrameOutput> out(new FrameOutput());
  out->channel_ = FrameChannel::Attach(fd, error);
  if (!out->channel_) return nullptr;
  return out;
}

FrameOutput::~FrameOutput() { sws_freeContext(scaler_); }

void FrameOutput::show(const AVFrame* frame) {
  if (!frame || frame->width <= 0 || frame->height <= 0) return;
  int panelWidth = 0, panelHeight = 0;
  channel_->PanelSize(panelWidth, panelHeight);
  // Before the window said its size: the picture as it is.
  if (panelWidth <= 0 || panelHeight <= 0) {
    panelWidth = std::min(frame->width, kFrameMaxWidth);
    panelHeight = std::min(frame->height, kFrameMaxHeight);
  }
  const double sar = frame->sample_aspect_ratio.num > 0 && frame->sample_aspect_ratio.den > 0
                         ? av_q2d(frame->sample_aspect_ratio)
                         : 1.0;
  int width = 0, height = 0;
  FitPicture(frame->width * sar / frame->height, panelWidth, panelHeight, width, height);
  int stride = 0;
  uint8_t* pixels = channel_->BeginPicture(width, height, stride);
  scaler_ = sws_getCachedContext(scaler_, frame->width, frame->height,
                                 static_cast<AVPixelFormat>(frame->format), width, height,
                                 AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return;
  uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, planes, strides);
  channel_->Publish();
}

}  // namespace orv::engine
