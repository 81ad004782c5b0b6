#include "mediaengine/stream_path.h"

#include <cmath>
#include <cstdio>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace orv::engine {

StreamPath::StreamPath(AVStream* input, double originSeconds, double endSeconds)
    : input_(input),
      endSeconds_(endSeconds),
      originTs_(std::llround(originSeconds / av_q2d(input->time_base))) {}

void StreamPath::OpenDecoder() {
  const AVCodec* codec = avcodec_find_decoder(input_->codecpar->codec_id);
  if (!codec)
    throw EngineError(std::string("no decoder for ") + avcodec_get_name(input_->codecpar->codec_id));
  decoder_.reset(avcodec_alloc_context3(codec));
  if (!decoder_) throw EngineError("out of memory");
  check(avcodec_parameters_to_context(decoder_.get(), input_->codecpar), "cannot set up the decoder");
  decoder_->pkt_timebase = input_->time_base;
  if (type() == AVMEDIA_TYPE_VIDEO) decoder_->framerate = input_->avg_frame_rate;
  check(avcodec_open2(decoder_.get(), codec, nullptr),
        std::string("cannot open the ") + codec->name + " decoder");
  if (type() == AVMEDIA_TYPE_AUDIO && decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&decoder_->ch_layout, decoder_->ch_layout.nb_channels);
}

void StreamPath::ConfigureGraph(const std::string& description) {
  graph_.reset(avfilter_graph_alloc());
  if (!graph_) throw EngineError("out of memory");
  graph_->nb_threads = 1;
  AVRational tb = input_->time_base;
  char args[512];
  const bool video = type() == AVMEDIA_TYPE_VIDEO;
  if (video) {
    AVRational sar = decoder_->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0) sar = AVRational{1, 1};
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                  decoder_->width, decoder_->height, decoder_->pix_fmt, tb.num, tb.den, sar.num, sar.den);
  } else {
    char layout[128] = {};
    av_channel_layout_describe(&decoder_->ch_layout, layout, sizeof layout);
    std::snprintf(args, sizeof args, "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", tb.num,
                  tb.den, decoder_->sample_rate, av_get_sample_fmt_name(decoder_->sample_fmt), layout);
  }
  check(avfilter_graph_create_filter(&source_, avfilter_get_by_name(video ? "buffer" : "abuffer"), "in", args,
                                     nullptr, graph_.get()),
        "cannot create the filter source");
  check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name(video ? "buffersink" : "abuffersink"), "out",
                                     nullptr, nullptr, graph_.get()),
        "cannot create the filter sink");

  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  if (!outputs || !inputs) {
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    throw EngineError("out of memory");
  }
  outputs->name = av_strdup("in");
  outputs->filter_ctx = source_;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = sink_;
  int rc = avfilter_graph_parse_ptr(graph_.get(), description.c_str(), &inputs, &outputs, nullptr);
  avfilter_inout_free(&outputs);
  avfilter_inout_free(&inputs);
  check(rc, "invalid filter chain '" + description + "'");
  check(avfilter_graph_config(graph_.get(), nullptr), "cannot set up the filters '" + description + "'");
}

void StreamPath::AttachEncoder(CodecPtr encoder, AVStream* output, PacketSink sink) {
  encoder_ = std::move(encoder);
  output_ = output;
  packetSink_ = std::move(sink);
  // Fixed-frame encoders (AAC, MP3) must get exactly frame_size samples.
  if (type() == AVMEDIA_TYPE_AUDIO && !(encoder_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
    av_buffersink_set_frame_size(sink_, static_cast<unsigned>(encoder_->frame_size));
}

bool StreamPath::send(const AVPacket* packet) {
  if (refused_) return false;
  if (pastEnd_) return true;
  int rc = avcodec_send_packet(decoder_.get(), packet);
  if (rc == AVERROR_INVALIDDATA || (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)) {
    // One damaged packet should not end the encode; a run that decodes
    // nothing at all is caught by the caller.
    ++decodeErrors_;
    return true;
  }
  return ReceiveFrames();
}

bool StreamPath::ReceiveFrames() {
  for (;;) {
    int rc = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      ++decodeErrors_;
      return true;
    }
    ++decodedFrames_;
    bool ok = PushFrame(frame_.get());
    av_frame_unref(frame_.get());
    if (!ok) return false;
  }
}

bool StreamPath::PushFrame(AVFrame* frame) {
  int64_t ts = frame->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) ts = nextTs_ == AV_NOPTS_VALUE ? originTs_ : nextTs_;
  int64_t duration = frame->pkt_duration;
  if (type() == AVMEDIA_TYPE_AUDIO && frame->sample_rate > 0)
    duration = av_rescale_q(frame->nb_samples, AVRational{1, frame->sample_rate}, input_->time_base);
  nextTs_ = ts + std::max<int64_t>(duration, 1);
  if (pastEnd_) return true;
  frame->pts = ts - originTs_;
  position_ = frame->pts * av_q2d(input_->time_base);
  if (endSeconds_ > 0 && position_ >= endSeconds_) {
    pastEnd_ = true;  // The trim filters drop it anyway; stop feeding.
    return true;
  }
  check(av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF), "cannot filter a frame");
  return PullFiltered();
}

bool StreamPath::PullFiltered() {
  for (;;) {
    int rc = av_buffersink_get_frame(sink_, filtered_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    check(rc, "filtering failed");
    bool ok = encode(filtered_.get());
    av_frame_unref(filtered_.get());
    if (!ok) return false;
  }
}

bool StreamPath::encode(AVFrame* frame) {
  if (refused_) return false;
  if (frame) {
    AVRational sinkTb = av_buffersink_get_time_base(sink_);
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (type() == AVMEDIA_TYPE_AUDIO) {
      // Sample-exact, strictly increasing timestamps keep muxers happy
      // even when the source's audio timestamps jitter.
      int64_t pts = frame->pts == AV_NOPTS_VALUE ? nextAudioPts_
                                                 : av_rescale_q(frame->pts, sinkTb, encoder_->time_base);
      if (pts < nextAudioPts_) pts = nextAudioPts_;
      frame->pts = pts;
      nextAudioPts_ = pts + frame->nb_samples;
    } else {
      frame->pts = av_rescale_q(frame->pts, sinkTb, encoder_->time_base);
    }
  }
  check(avcodec_send_frame(encoder_.get(), frame), "encoding failed");
  for (;;) {
    int rc = avcodec_receive_packet(encoder_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    check(rc, "encoding failed");
    if (packet_->duration == 0 && type() == AVMEDIA_TYPE_VIDEO) packet_->duration = 1;
    av_packet_rescale_ts(packet_.get(), encoder_->time_base, output_->time_base);
    packet_->stream_index = output_->index;
    ++encodedPackets_;
    if (!packetSink_(packet_.get())) {
      av_packet_unref(packet_.get());
      refused_ = true;
      return false;
    }
    av_packet_unref(packet_.get());
  }
}

bool StreamPath::finish() {
  if (refused_) return false;
  if (!decoderFlushed_) {
    decoderFlushed_ = true;
    if (avcodec_send_packet(decoder_.get(), nullptr) >= 0 && !ReceiveFrames()) return false;
  }
  // Closing at the end of the last frame (not its start) lets the fps
  // filter give the last picture its full duration.
  int64_t end = nextTs_ == AV_NOPTS_VALUE ? 0 : nextTs_ - originTs_;
  check(av_buffersrc_close(source_, end, 0), "cannot finish filtering");
  if (!PullFiltered()) return false;
  return encode(nullptr);
}

}  // namespace orv::engine
