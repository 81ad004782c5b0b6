#include "mediaengine/codec_setup.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

extern "C" {
#include <libavutil/opt.h>
}

namespace orv::engine {
namespace {

void SetOption(void* target, const char* name, const std::string& value) {
  check(av_opt_set(target, name, value.c_str(), AV_OPT_SEARCH_CHILDREN),
        std::string("cannot set encoder option ") + name + "=" + value);
}

void SetOption(void* target, const char* name, long long value) {
  check(av_opt_set_int(target, name, value, AV_OPT_SEARCH_CHILDREN),
        std::string("cannot set encoder option ") + name + "=" + std::to_string(value));
}

CodecPtr allocate(const AVCodec* codec) {
  CodecPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) throw EngineError("out of memory");
  return ctx;
}

void ConfigureMpeg4(AVCodecContext* enc, const LavcOptions& l) {
  if (l.mbd >= 0) SetOption(enc, "mbd", l.mbd);
  if (l.cmp >= 0) SetOption(enc, "cmp", l.cmp);
  if (l.subcmp >= 0) SetOption(enc, "subcmp", l.subcmp);
  if (l.trellis) SetOption(enc, "trellis", 1);
  std::string flags;
  if (l.v4mv) flags += "+mv4";
  if (l.qpel) flags += "+qpel";
  if (l.aic) flags += "+aic";
  if (!flags.empty()) SetOption(enc, "flags", flags);
}

void ConfigureX264(AVCodecContext* enc, const LavcOptions& l) {
  // Small players need Baseline: no B-frames, CAVLC, one reference is
  // enough at level 1.3.
  SetOption(enc->priv_data, "profile", std::string("baseline"));
  if (l.coder == 0 || l.coder < 0) SetOption(enc->priv_data, "coder", 0LL);
  enc->level = l.level > 0 ? l.level : FF_LEVEL_UNKNOWN;
  SetOption(enc->priv_data, "x264-params", std::string("bframes=0:cabac=0"));
}

}  // namespace

const AVCodec* FindEncoder(const std::string& name) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  if (!codec) throw EngineError("encoder '" + name + "' is not available in this FFmpeg");
  return codec;
}

int SupportedSampleRate(const AVCodec* codec, int wanted) {
  if (!codec->supported_samplerates) return wanted;
  int best = codec->supported_samplerates[0];
  for (const int* r = codec->supported_samplerates; *r; ++r)
    if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
  return best;
}

int EncoderChannels(const OutputPlan& plan, const Options& options, int chainChannels) {
  if (plan.audioEncoder == "libmp3lame" && options.lame.mode == 3) return 1;
  return std::clamp(chainChannels, 1, 2);
}

CodecPtr OpenVideoEncoder(const OutputPlan& plan, const Options& options, int width, int height,
                          AVRational timeBase, AVRational frameRate, bool globalHeader) {
  const AVCodec* codec = FindEncoder(plan.videoEncoder);
  CodecPtr enc = allocate(codec);
  const LavcOptions& l = options.lavc;
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->sample_aspect_ratio = AVRational{1, 1};
  enc->time_base = timeBase;
  enc->framerate = frameRate;
  enc->bit_rate = static_cast<int64_t>(l.vbitrateKbps > 0 ? l.vbitrateKbps : 800) * 1000;
  enc->gop_size = l.keyint > 0 ? l.keyint : 250;
  enc->max_b_frames = 0;
  if (l.vqmin > 0) enc->qmin = l.vqmin;
  if (l.vqmax > 0) enc->qmax = l.vqmax;
  if (l.vrcMaxrateKbps > 0) {
    enc->rc_max_rate = static_cast<int64_t>(l.vrcMaxrateKbps) * 1000;
    enc->rc_buffer_size = static_cast<int>(std::min<int64_t>(enc->rc_max_rate * 2, INT_MAX));
  }
  if (l.bitExact) enc->flags |= AV_CODEC_FLAG_BITEXACT;
  if (globalHeader) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (plan.videoEncoder == "mpeg4") ConfigureMpeg4(enc.get(), l);
  else if (plan.videoEncoder == "libx264") ConfigureX264(enc.get(), l);
  check(avcodec_open2(enc.get(), codec, nullptr), "cannot open the " + plan.videoEncoder + " encoder");
  return enc;
}

CodecPtr OpenAudioEncoder(const OutputPlan& plan, const Options& options, int sampleRate,
                          const AVChannelLayout& layout, AVSampleFormat format, bool globalHeader) {
  const AVCodec* codec = FindEncoder(plan.audioEncoder);
  CodecPtr enc = allocate(codec);
  enc->sample_rate = sampleRate;
  enc->sample_fmt = format;
  enc->time_base = AVRational{1, sampleRate};
  check(av_channel_layout_copy(&enc->ch_layout, &layout), "cannot set the channel layout");
  int kbps = 128;
  if (plan.audioEncoder == "libmp3lame" && options.oac == "mp3lame") {
    kbps = options.lame.bitrateKbps;
    // mode=0 is plain stereo; lame's own default is joint stereo.
    if (options.lame.mode == 0 || options.lame.mode == 2) SetOption(enc->priv_data, "joint_stereo", 0LL);
    if (options.lame.mode == 1) SetOption(enc->priv_data, "joint_stereo", 1LL);
  } else if (options.lavc.abitrateKbps > 0) {
    kbps = options.lavc.abitrateKbps;
  }
  enc->bit_rate = static_cast<int64_t>(kbps) * 1000;
  if (options.lavc.bitExact) enc->flags |= AV_CODEC_FLAG_BITEXACT;
  if (globalHeader) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(avcodec_open2(enc.get(), codec, nullptr), "cannot open the " + plan.audioEncoder + " encoder");
  return enc;
}

}  // namespace orv::engine
