// Keeps source timestamps continuous across the jumps that broadcast and
// disc streams (MPEG-TS, MPEG-PS) make when recordings are joined or a clock
// is reset, the way players follow them.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/av_support.h"

namespace orv::engine {

class TimestampFixer {
 public:
  // A jump forward larger than this is a discontinuity, not a gap.
  static constexpr int64_t kForwardLimit = 10 * AV_TIME_BASE;
  // Any step backwards larger than this is a discontinuity.
  static constexpr int64_t kBackwardLimit = AV_TIME_BASE / 2;

  // enabled: the container is one that may jump (AVFMT_TS_DISCONT).
  TimestampFixer(AVFormatContext* input, bool enabled);
  explicit TimestampFixer(AVFormatContext* input);

  // Shifts the packet's pts and dts onto the continuous time line.
  void fix(AVPacket* packet);
  int discontinuities() const { return discontinuities_; }

 private:
  AVFormatContext* input_;
  bool enabled_;
  int64_t offset_ = 0;            // microseconds added to every packet
  std::vector<int64_t> nextDts_;  // per stream, microseconds, continuous line
  int discontinuities_ = 0;
};

}  // namespace orv::engine
