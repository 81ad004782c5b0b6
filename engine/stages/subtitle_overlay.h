// DVD subpictures burnt into the picture. The demux thread feeds the
// subtitle's packets (they arrive ahead of the pictures they belong to); the
// video thread blends whatever is showing at a picture's time into it, on
// the picture as decoded, so the subtitle is scaled with the video.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "engine/av_support.h"

namespace orv::engine {

class SubtitleOverlay {
 public:
  // palette: the title's 16 subpicture colours as 0x00YYCrCb, from its
  // tables (the stream itself carries only indexes into them).
  explicit SubtitleOverlay(const uint32_t (&palette)[16]);

  // One packet of the subtitle stream, timestamps in timeBase.
  void feed(const AVPacket* packet, AVRational timeBase);
  // Blends the subpicture showing at seconds into a YUV 4:2:0 frame.
  void BurnInto(AVFrame* frame, double seconds);

 private:
  struct Pixel {
    uint8_t y, u, v, alpha;
  };
  struct Bitmap {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> indexes;  // width * height
    Pixel colours[256] = {};
  };
  struct Shown {
    double start = 0;
    double end = 0;  // +infinity: until the next one
    std::vector<Bitmap> bitmaps;
  };

  void Blend(AVFrame* frame, const Bitmap& bitmap) const;

  CodecPtr decoder_;
  int64_t lastPts_ = AV_NOPTS_VALUE;  // of the packet that began the subpicture
  std::mutex mutex_;
  std::deque<Shown> shown_;
};

}  // namespace orv::engine
