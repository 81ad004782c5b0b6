#include "engine/source/timestamp_fixer.h"

namespace orv::engine {
namespace {

void Shift(AVPacket* packet, int64_t microseconds, AVRational timeBase) {
  if (microseconds == 0) return;
  int64_t ticks = av_rescale_q(microseconds, AV_TIME_BASE_Q, timeBase);
  if (packet->pts != AV_NOPTS_VALUE) packet->pts += ticks;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts += ticks;
}

}  // namespace

TimestampFixer::TimestampFixer(AVFormatContext* input, bool enabled)
    : input_(input), enabled_(enabled), nextDts_(input->nb_streams, AV_NOPTS_VALUE) {}

TimestampFixer::TimestampFixer(AVFormatContext* input)
    : TimestampFixer(input, input->iformat && (input->iformat->flags & AVFMT_TS_DISCONT)) {}

void TimestampFixer::fix(AVPacket* packet) {
  if (!enabled_ || packet->stream_index < 0) return;
  auto index = static_cast<size_t>(packet->stream_index);
  // Streams can appear after the header was read.
  if (index >= nextDts_.size()) nextDts_.resize(index + 1, AV_NOPTS_VALUE);
  const AVRational tb = input_->streams[index]->time_base;
  Shift(packet, offset_, tb);
  if (packet->dts == AV_NOPTS_VALUE) return;
  int64_t dts = av_rescale_q(packet->dts, tb, AV_TIME_BASE_Q);
  int64_t& expected = nextDts_[index];
  if (expected != AV_NOPTS_VALUE) {
    const int64_t delta = dts - expected;
    if (delta > kForwardLimit || delta < -kBackwardLimit) {
      // Continue where this stream left off; every stream takes the same
      // correction, so they stay in step.
      offset_ -= delta;
      Shift(packet, -delta, tb);
      dts -= delta;
      ++discontinuities_;
    }
  }
  const int64_t duration =
      packet->duration > 0 ? av_rescale_q(packet->duration, tb, AV_TIME_BASE_Q) : 0;
  expected = dts + duration;
}

}  // namespace orv::engine
