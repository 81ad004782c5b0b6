// The few FFmpeg interfaces that changed between FFmpeg 5.1 and 7.1, behind
// one name each, so the engine builds against every version in between
// without deprecated calls.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
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

// The display matrix of a stream (a telephone's recording held upright is
// stored sideways with one), or null.
inline const int32_t* StreamDisplayMatrix(const AVStream* stream) {
  constexpr size_t kMatrixBytes = 9 * sizeof(int32_t);
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100)
  const AVPacketSideData* side =
      av_packet_side_data_get(stream->codecpar->coded_side_data,
                              stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
  if (!side || side->size < kMatrixBytes) return nullptr;
  return reinterpret_cast<const int32_t*>(side->data);
#else
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!data || size < kMatrixBytes) return nullptr;
  return reinterpret_cast<const int32_t*>(data);
#endif
}

}  // namespace orv
