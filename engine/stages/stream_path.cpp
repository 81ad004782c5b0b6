#include "engine/stages/stream_path.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>

#include "engine/av_compat.h"
}

#include "engine/stages/filters.h"

namespace orv::engine {

AVRational StreamPath::PixelAspect(int width, int height, AVRational stated) const {
  if (displayAspect_.num > 0 && width > 0 && height > 0) {
    AVRational sar{};
    av_reduce(&sar.num, &sar.den, static_cast<int64_t>(displayAspect_.num) * height,
              static_cast<int64_t>(displayAspect_.den) * width, 1 << 16);
    return sar;
  }
  return stated.num > 0 && stated.den > 0 ? stated : AVRational{1, 1};
}

bool CheapToDecode(const AVCodecContext* decoder) {
  switch (decoder->codec_id) {
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MSMPEG4V1:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
      return static_cast<long>(decoder->width) * decoder->height <= 720L * 576;
    default:
      return false;
  }
}

StreamPath::StreamPath(AVStream* input, double originSeconds, double endSeconds)
    : input_(input),
      endSeconds_(endSeconds),
      originTs_(std::llround(originSeconds / av_q2d(input->time_base))) {}

void StreamPath::OpenDecoder(int threads) {
  const AVCodec* codec = avcodec_find_decoder(input_->codecpar->codec_id);
  if (!codec)
    throw EngineError(std::string("no decoder for ") +
                      avcodec_get_name(input_->codecpar->codec_id));
  decoder_.reset(avcodec_alloc_context3(codec));
  if (!decoder_) throw EngineError("out of memory");
  check(avcodec_parameters_to_context(decoder_.get(), input_->codecpar),
        "cannot set up the decoder");
  decoder_->pkt_timebase = input_->time_base;
  if (type() == AVMEDIA_TYPE_VIDEO) {
    decoder_->framerate = input_->avg_frame_rate;
    // Frame threads where decoding is heavy work (H.264, HEVC, VP9, large
    // pictures). A standard-definition MPEG-4 Part 2 picture decodes many
    // times faster than any of our encoders takes one; there the hand-offs
    // between frame threads cost more than they save.
    decoder_->thread_count = CheapToDecode(decoder_.get()) ? 1 : threads;
    decoder_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  }
  check(avcodec_open2(decoder_.get(), codec, nullptr),
        std::string("cannot open the ") + codec->name + " decoder");
  if (type() == AVMEDIA_TYPE_AUDIO && decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&decoder_->ch_layout, decoder_->ch_layout.nb_channels);
}

void StreamPath::FifoDeleter::operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }

std::string StreamPath::SourceArgs(const AVFrame* like) const {
  AVRational tb = input_->time_base;
  char args[512];
  if (type() == AVMEDIA_TYPE_VIDEO) {
    const int width = like ? like->width : decoder_->width;
    const int height = like ? like->height : decoder_->height;
    const int format = like ? like->format : decoder_->pix_fmt;
    AVRational sar = PixelAspect(width, height,
                                 like ? like->sample_aspect_ratio : decoder_->sample_aspect_ratio);
    std::snprintf(args, sizeof args,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", width, height,
                  format, tb.num, tb.den, sar.num, sar.den);
    return args;
  }
  const AVChannelLayout& layout = like ? like->ch_layout : decoder_->ch_layout;
  const int rate = like ? like->sample_rate : decoder_->sample_rate;
  const auto format = like ? static_cast<AVSampleFormat>(like->format) : decoder_->sample_fmt;
  char name[128] = {};
  av_channel_layout_describe(&layout, name, sizeof name);
  std::snprintf(args, sizeof args, "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                tb.num, tb.den, rate, av_get_sample_fmt_name(format), name);
  return args;
}

void StreamPath::ConfigureGraph(const std::string& description) {
  BuildGraph(description, nullptr);
}

std::string StreamPath::InputShape(const AVFrame* like) const {
  if (type() == AVMEDIA_TYPE_AUDIO) return SourceArgs(like);
  // A picture's aspect may be restated from frame to frame; only its size
  // and pixel format decide what the graph's filters were set up for.
  char shape[64];
  std::snprintf(shape, sizeof shape, "%dx%d:%d", like ? like->width : decoder_->width,
                like ? like->height : decoder_->height, like ? like->format : decoder_->pix_fmt);
  return shape;
}

void StreamPath::ConfigureVideoGraph(VideoGraphMaker maker) {
  videoGraphMaker_ = std::move(maker);
  BuildGraph(videoGraphMaker_(0), nullptr);
}

void StreamPath::ConfigureAudioGraph(AudioGraphMaker maker) {
  audioGraphMaker_ = std::move(maker);
  BuildGraph(audioGraphMaker_(decoder_->ch_layout.nb_channels, 0), nullptr);
}

void StreamPath::BuildGraph(const std::string& description, const AVFrame* like) {
  graph_.reset(avfilter_graph_alloc());
  if (!graph_) throw EngineError("out of memory");
  graph_->nb_threads = 0;  // scaling and padding run in slices on every core
  const bool video = type() == AVMEDIA_TYPE_VIDEO;
  inputShape_ = InputShape(like);
  const std::string sourceArgs = SourceArgs(like);
  const char* args = sourceArgs.c_str();
  check(avfilter_graph_create_filter(&source_, avfilter_get_by_name(video ? "buffer" : "abuffer"),
                                     "in", args, nullptr, graph_.get()),
        "cannot create the filter source");
  check(avfilter_graph_create_filter(&sink_,
                                     avfilter_get_by_name(video ? "buffersink" : "abuffersink"),
                                     "out", nullptr, nullptr, graph_.get()),
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
  // A picture stored sideways is turned upright first, as players show it.
  std::string chain = description;
  if (video) {
    if (const int32_t* matrix = StreamDisplayMatrix(input_)) {
      std::string upright = UprightFilters(av_display_rotation_get(matrix));
      if (!upright.empty()) chain = chain.empty() ? upright : upright + "," + chain;
    }
  }
  int rc = avfilter_graph_parse_ptr(graph_.get(), chain.c_str(), &inputs, &outputs, nullptr);
  avfilter_inout_free(&outputs);
  avfilter_inout_free(&inputs);
  check(rc, "invalid filter chain '" + description + "'");
  check(avfilter_graph_config(graph_.get(), nullptr),
        "cannot set up the filters '" + description + "'");
}

void StreamPath::AttachEncoder(CodecPtr encoder, AVStream* output, PacketSink sink) {
  encoder_ = std::move(encoder);
  output_ = output;
  packetSink_ = std::move(sink);
  // Read once: the encoder may run on its own thread while the decode
  // thread rebuilds the graph (a rebuilt graph keeps its output time base).
  encoderInputTb_ = av_buffersink_get_time_base(sink_);
  if (type() == AVMEDIA_TYPE_AUDIO && encoder_->frame_size > 0 &&
      !(encoder_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) {
    fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels,
                                    encoder_->frame_size));
    if (!fifo_) throw EngineError("out of memory");
  }
}

bool StreamPath::send(const AVPacket* packet) {
  if (framesRefused_) return false;
  if (pastEnd_) return true;
  int rc = avcodec_send_packet(decoder_.get(), packet);
  if (rc == AVERROR_INVALIDDATA || (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)) {
    // One damaged packet should not end the encode; a run that decodes
    // nothing at all is caught by the caller. Before the first picture or
    // sound frame the decoder is only finding its footing (a stream entered
    // after a seek or at a DVD chapter starts in the middle of a frame).
    if (decodedFrames_ > 0) ++decodeErrors_;
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
  int64_t duration = FrameDuration(frame);
  if (duration <= 0 && type() == AVMEDIA_TYPE_VIDEO) {
    // Without a packet duration, a picture lasts one frame of the stream.
    AVRational rate =
        input_->avg_frame_rate.num > 0 ? input_->avg_frame_rate : input_->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) duration = av_rescale_q(1, av_inv_q(rate), input_->time_base);
  }
  if (type() == AVMEDIA_TYPE_AUDIO && frame->sample_rate > 0)
    duration =
        av_rescale_q(frame->nb_samples, AVRational{1, frame->sample_rate}, input_->time_base);
  nextTs_ = ts + std::max<int64_t>(duration, 1);
  endTs_ = endTs_ == AV_NOPTS_VALUE ? nextTs_ : std::max(endTs_, nextTs_);
  if (pastEnd_) return true;
  if (type() == AVMEDIA_TYPE_VIDEO) {
    if (displayAspect_.num > 0)
      frame->sample_aspect_ratio =
          PixelAspect(frame->width, frame->height, frame->sample_aspect_ratio);
    if (overlay_) overlay_(frame, static_cast<double>(ts) * av_q2d(input_->time_base));
  }
  frame->pts = ts - originTs_;
  position_ = static_cast<double>(frame->pts) * av_q2d(input_->time_base);
  if (endSeconds_ > 0 && position_ >= endSeconds_) {
    pastEnd_ = true;  // The trim filters drop it anyway; stop feeding.
    return true;
  }
  if (!FollowInputChange(frame)) return false;
  check(av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF),
        "cannot filter a frame");
  return PullFiltered();
}

bool StreamPath::FollowInputChange(AVFrame* frame) {
  if (!audioGraphMaker_ && !videoGraphMaker_) return true;
  if (type() == AVMEDIA_TYPE_AUDIO && frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    const int channels = frame->ch_layout.nb_channels;
    av_channel_layout_uninit(&frame->ch_layout);
    av_channel_layout_default(&frame->ch_layout, channels);
  }
  if (InputShape(frame) == inputShape_) return true;
  // What the old graph holds comes out first, up to where the new input
  // begins; the new graph then continues at the next output sample or
  // frame, so the change leaves neither a gap nor a jump.
  check(av_buffersrc_close(source_, frame->pts, 0), "cannot filter a frame");
  if (!PullFiltered()) return false;
  if (type() == AVMEDIA_TYPE_AUDIO) {
    // aresample counts its first_pts in samples of its input rate.
    const long long firstPts =
        av_rescale(nextSinkPts_, frame->sample_rate, av_buffersink_get_sample_rate(sink_));
    BuildGraph(audioGraphMaker_(frame->ch_layout.nb_channels, firstPts), frame);
    return true;
  }
  const int width = av_buffersink_get_w(sink_), height = av_buffersink_get_h(sink_);
  const int format = av_buffersink_get_format(sink_);
  const std::string description = videoGraphMaker_(nextVideoSeconds_);
  BuildGraph(description, frame);
  // The output keeps the size it started with (the encoder's).
  if (av_buffersink_get_w(sink_) != width || av_buffersink_get_h(sink_) != height)
    BuildGraph(description + ",scale=w=" + std::to_string(width) + ":h=" + std::to_string(height) +
                   ",format=" + av_get_pix_fmt_name(static_cast<AVPixelFormat>(format)),
               frame);
  return true;
}

bool StreamPath::PullFiltered() {
  for (;;) {
    int rc = av_buffersink_get_frame(sink_, filtered_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    check(rc, "filtering failed");
    if (filtered_->pts != AV_NOPTS_VALUE) {
      if (type() == AVMEDIA_TYPE_AUDIO)
        nextSinkPts_ = filtered_->pts + filtered_->nb_samples;
      else
        nextVideoSeconds_ =
            static_cast<double>(filtered_->pts + 1) * av_q2d(av_buffersink_get_time_base(sink_));
    }
    bool ok = handoff_ ? handoff_(filtered_.get()) : encode(filtered_.get());
    if (!ok) framesRefused_ = true;
    av_frame_unref(filtered_.get());
    if (!ok) return false;
  }
}

bool StreamPath::encode(AVFrame* frame) {
  if (packetsRefused_) return false;
  if (fifo_) return EncodeWholeFrames(frame);
  if (frame) {
    const AVRational sinkTb = encoderInputTb_;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (type() == AVMEDIA_TYPE_AUDIO) {
      // Sample-exact, strictly increasing timestamps keep muxers happy
      // even when the source's audio timestamps jitter.
      int64_t pts = frame->pts == AV_NOPTS_VALUE
                        ? nextAudioPts_
                        : av_rescale_q(frame->pts, sinkTb, encoder_->time_base);
      if (pts < nextAudioPts_) pts = nextAudioPts_;
      frame->pts = pts;
      nextAudioPts_ = pts + frame->nb_samples;
      encodedEnd_ = std::max(encodedEnd_, nextAudioPts_ * av_q2d(encoder_->time_base));
    } else {
      frame->pts = av_rescale_q(frame->pts, sinkTb, encoder_->time_base);
      encodedEnd_ =
          std::max(encodedEnd_, static_cast<double>(frame->pts + 1) * av_q2d(encoder_->time_base));
    }
  }
  return SendToEncoder(frame);
}

bool StreamPath::EncodeWholeFrames(AVFrame* frame) {
  // The graph's sound is continuous from sample 0 (aresample fills gaps), so
  // counting samples gives every frame its time.
  if (frame)
    check(av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(frame->extended_data),
                              frame->nb_samples),
          "encoding failed");
  const int size = encoder_->frame_size;
  FramePtr chunk = MakeFrame();
  while (av_audio_fifo_size(fifo_.get()) >= size || (!frame && av_audio_fifo_size(fifo_.get()))) {
    av_frame_unref(chunk.get());
    chunk->nb_samples = std::min(size, av_audio_fifo_size(fifo_.get()));
    chunk->format = encoder_->sample_fmt;
    chunk->sample_rate = encoder_->sample_rate;
    check(av_channel_layout_copy(&chunk->ch_layout, &encoder_->ch_layout), "encoding failed");
    check(av_frame_get_buffer(chunk.get(), 0), "encoding failed");
    check(av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk->data), chunk->nb_samples),
          "encoding failed");
    chunk->pts = nextAudioPts_;
    nextAudioPts_ += chunk->nb_samples;
    encodedEnd_ = std::max(encodedEnd_, nextAudioPts_ * av_q2d(encoder_->time_base));
    if (!SendToEncoder(chunk.get())) return false;
  }
  return frame ? true : SendToEncoder(nullptr);
}

bool StreamPath::SendToEncoder(AVFrame* frame) {
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
      packetsRefused_ = true;
      return false;
    }
    av_packet_unref(packet_.get());
  }
}

double StreamPath::DecodedEnd() const {
  if (endTs_ == AV_NOPTS_VALUE) return 0;
  return static_cast<double>(endTs_ - originTs_) * av_q2d(input_->time_base);
}

bool StreamPath::DrainDecoder() {
  if (framesRefused_) return false;
  if (decoderFlushed_) return true;
  decoderFlushed_ = true;
  if (avcodec_send_packet(decoder_.get(), nullptr) < 0) return true;
  return ReceiveFrames();
}

bool StreamPath::PadWithSilence(int64_t untilTs) {
  // Silence in the decoder's own format, one second per frame at most.
  const int rate = decoder_->sample_rate;
  if (rate <= 0 || nextTs_ == AV_NOPTS_VALUE) return true;
  FramePtr silence = MakeFrame();
  while (!pastEnd_ && nextTs_ < untilTs) {
    int64_t samples = av_rescale_q(untilTs - nextTs_, input_->time_base, AVRational{1, rate});
    if (samples <= 0) break;
    av_frame_unref(silence.get());
    silence->format = decoder_->sample_fmt;
    silence->sample_rate = rate;
    silence->nb_samples = static_cast<int>(std::min<int64_t>(samples, rate));
    check(av_channel_layout_copy(&silence->ch_layout, &decoder_->ch_layout),
          "cannot fill an audio gap");
    check(av_frame_get_buffer(silence.get(), 0), "cannot fill an audio gap");
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples,
                           decoder_->ch_layout.nb_channels, decoder_->sample_fmt);
    silence->pts = silence->best_effort_timestamp = nextTs_;
    if (!PushFrame(silence.get())) return false;
  }
  return true;
}

bool StreamPath::finish(double endSeconds) {
  if (!DrainDecoder()) return false;
  int64_t end = endTs_ == AV_NOPTS_VALUE ? originTs_ : endTs_;
  if (endSeconds > 0) {
    int64_t wanted = originTs_ + std::llround(endSeconds / av_q2d(input_->time_base));
    if (type() == AVMEDIA_TYPE_AUDIO && wanted > end) {
      // Audio that stops before the picture (or breaks off) is carried on
      // in silence, so both streams last as long as the source.
      if (!PadWithSilence(wanted)) return false;
    }
    end = std::max(end, wanted);
  }
  // Closing at the end (not at the start of the last frame) lets the fps
  // filter give the last picture its full duration, or hold it through a
  // still section up to the end of the sound.
  check(av_buffersrc_close(source_, end - originTs_, 0), "cannot finish filtering");
  if (!PullFiltered()) return false;
  return handoff_ ? true : encode(nullptr);
}

}  // namespace orv::engine
