// The few FFmpeg interfaces that changed between FFmpeg 5.1 and 7.1, behind
// one name each, so the engine builds against every version in between
// without deprecated calls.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace orv {

// A decoded frame's duration in its time base (0 when unknown).
inline int64_t FrameDuration(const AVFrame* frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
  return frame->duration;
#else
  return frame->pkt_duration;
#endif
}

// The sample formats and sample rates an encoder takes, each list ended by
// its terminator (AV_SAMPLE_FMT_NONE, 0); null when the encoder takes any.
inline const AVSampleFormat* EncoderSampleFormats(const AVCodec* codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  const void* list = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, codec, AV_CODEC_CONFIG_SAMPLE_FORMAT, 0, &list,
                                   &count) < 0)
    return nullptr;
  return static_cast<const AVSampleFormat*>(list);
#else
  return codec->sample_fmts;
#endif
}

inline const int* EncoderSampleRates(const AVCodec* codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
  const void* list = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, codec, AV_CODEC_CONFIG_SAMPLE_RATE, 0, &list,
                                   &count) < 0)
    return nullptr;
  return static_cast<const int*>(list);
#else
  return codec->supported_samplerates;
#endif
}

}  // namespace orv
