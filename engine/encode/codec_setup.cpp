#include "engine/encode/codec_setup.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <thread>

extern "C" {
#include <libavutil/opt.h>

#include "engine/av_compat.h"
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

struct H264Level {
  int level;         // level_idc; 9 stands for 1b
  long maxMbRate;    // macroblocks per second
  long maxFrameMbs;  // macroblocks per picture
  long maxKbps;      // Baseline/Main peak bitrate
  long maxCpbKbit;   // Baseline/Main coded picture buffer
  long maxDpbMbs;    // decoded picture buffer
};

constexpr H264Level kH264Levels[] = {
    {10, 1485, 99, 64, 175, 396},
    {9, 1485, 99, 128, 350, 396},
    {11, 3000, 396, 192, 500, 900},
    {12, 6000, 396, 384, 1000, 2376},
    {13, 11880, 396, 768, 2000, 2376},
    {20, 11880, 396, 2000, 2000, 2376},
    {21, 19800, 792, 4000, 4000, 4752},
    {22, 20250, 1620, 4000, 4000, 8100},
    {30, 40500, 1620, 10000, 10000, 8100},
    {31, 108000, 3600, 14000, 14000, 18000},
    {32, 216000, 5120, 20000, 20000, 20480},
    {40, 245760, 8192, 20000, 25000, 32768},
    {41, 245760, 8192, 50000, 62500, 32768},
    {42, 522240, 8704, 50000, 62500, 34816},
    {50, 589824, 22080, 135000, 135000, 110400},
    {51, 983040, 36864, 240000, 240000, 184320},
    {52, 2073600, 36864, 240000, 240000, 184320},
};

// Order of a level in the table (1b sits between 1 and 1.1).
int LevelRank(int level) {
  for (size_t i = 0; i < std::size(kH264Levels); ++i)
    if (kH264Levels[i].level == level) return static_cast<int>(i);
  // Levels the table lacks rank by value.
  int rank = 0;
  for (size_t i = 0; i < std::size(kH264Levels); ++i)
    if (kH264Levels[i].level != 9 && kH264Levels[i].level < level) rank = static_cast<int>(i) + 1;
  return rank;
}

const H264Level* FindLevel(int level) {
  for (const auto& l : kH264Levels)
    if (l.level == level) return &l;
  return nullptr;
}

long Macroblocks(int width, int height) {
  return static_cast<long>((width + 15) / 16) * ((height + 15) / 16);
}

void ConfigureX264(AVCodecContext* enc, const LavcOptions& l, AVRational frameRate) {
  // Small players need Baseline: no B-frames, CAVLC.
  SetOption(enc->priv_data, "profile", std::string("baseline"));
  if (l.coder == 0 || l.coder < 0) SetOption(enc->priv_data, "coder", 0LL);
  std::string params = "bframes=0:cabac=0";
  if (l.level > 0) {
    // The stream must honour the level it signals: take the lowest one at or
    // above the requested level that fits size, rate and peak bitrate, and
    // keep the buffer and the reference frames inside it.
    const int kbps =
        l.vrcMaxrateKbps > 0 ? l.vrcMaxrateKbps : (l.vbitrateKbps > 0 ? l.vbitrateKbps : 800);
    int level = H264LevelFor(enc->width, enc->height, frameRate, kbps, 1, l.level);
    if (const H264Level* limits = FindLevel(level)) {
      enc->level = level;
      if (enc->rc_max_rate > 0)
        enc->rc_buffer_size =
            static_cast<int>(std::min<long>(enc->rc_buffer_size / 1000, limits->maxCpbKbit) * 1000);
      long refs = std::clamp<long>(limits->maxDpbMbs / Macroblocks(enc->width, enc->height), 1, 3);
      params += ":ref=" + std::to_string(refs);
    } else {
      enc->level = FF_LEVEL_UNKNOWN;
    }
  }
  SetOption(enc->priv_data, "x264-params", params);
}

// Encoders set up by their presets rather than for the small players of the
// built-in profiles: H.265, AV1, VP9, and H.264 when a preset is named.
bool PresetEncoder(const OutputPlan& plan, const LavcOptions& l) {
  if (plan.videoEncoder == "mpeg4") return false;
  return plan.videoEncoder != "libx264" || !l.vpreset.empty();
}

void ConfigureByPreset(AVCodecContext* enc, const std::string& encoder, const LavcOptions& l) {
  void* priv = enc->priv_data;
  if (encoder == "libx264" || encoder == "libx265") {
    if (!l.vpreset.empty()) SetOption(priv, "preset", l.vpreset);
    if (l.crf >= 0) SetOption(priv, "crf", std::to_string(l.crf));
    // x265 and SVT-AV1 keep thread pools of their own: given threads size them.
    if (encoder == "libx265")
      SetOption(priv, "x265-params",
                std::string("log-level=error") +
                    (l.threads > 0 ? ":pools=" + std::to_string(l.threads) : ""));
  } else if (encoder == "libsvtav1") {
    if (!l.vpreset.empty()) SetOption(priv, "preset", l.vpreset);
    if (l.threads > 0) SetOption(priv, "svtav1-params", "lp=" + std::to_string(l.threads));
    if (l.crf >= 0) SetOption(priv, "crf", static_cast<long long>(l.crf));
  } else if (encoder == "libvpx-vp9") {
    SetOption(priv, "deadline", std::string("good"));
    SetOption(priv, "cpu-used", l.vpreset.empty() ? std::string("4") : l.vpreset);
    SetOption(priv, "row-mt", 1LL);
    if (l.crf >= 0) SetOption(priv, "crf", static_cast<long long>(l.crf));
  }
}

// Rate, picture group and threads for a preset encoder: a constant quality
// or an average bitrate, a key picture about every ten seconds, B-frames as
// the preset has them, every core.
void SetUpPresetEncoder(AVCodecContext* enc, const std::string& encoder, const LavcOptions& l,
                        AVRational frameRate) {
  enc->bit_rate = l.crf >= 0 ? 0 : static_cast<int64_t>(std::max(l.vbitrateKbps, 0)) * 1000;
  const double fps = frameRate.num > 0 && frameRate.den > 0 ? av_q2d(frameRate) : 25.0;
  enc->gop_size = l.keyint > 0 ? l.keyint : std::max(1, static_cast<int>(std::lround(10 * fps)));
  if (l.vqmin > 0) enc->qmin = l.vqmin;
  if (l.vqmax > 0) enc->qmax = l.vqmax;
  enc->thread_count = l.threads;
  ConfigureByPreset(enc, encoder, l);
}

}  // namespace

int H264LevelFor(int width, int height, AVRational frameRate, int maxRateKbps, int refFrames,
                 int minimumLevel) {
  const long mbs = Macroblocks(width, height);
  const double fps = frameRate.num > 0 && frameRate.den > 0 ? av_q2d(frameRate) : 25.0;
  const int minimumRank = LevelRank(minimumLevel);
  for (size_t i = 0; i < std::size(kH264Levels); ++i) {
    const H264Level& l = kH264Levels[i];
    if (static_cast<int>(i) < minimumRank) continue;
    // Pictures may be at most sqrt(8 * MaxFS) macroblocks wide or high.
    const long side = static_cast<long>(std::sqrt(8.0 * static_cast<double>(l.maxFrameMbs)));
    if (mbs > l.maxFrameMbs || (width + 15) / 16 > side || (height + 15) / 16 > side) continue;
    if (static_cast<double>(mbs) * fps > static_cast<double>(l.maxMbRate) * 1.0001) continue;
    if (maxRateKbps > l.maxKbps) continue;
    if (mbs * std::max(refFrames, 1) > l.maxDpbMbs) continue;
    return l.level;
  }
  return 0;
}

int H264LevelBufferKbit(int level) {
  const H264Level* l = FindLevel(level);
  return l ? static_cast<int>(l->maxCpbKbit) : 0;
}

AVRational EncoderFrameRate(AVRational wanted) {
  if (wanted.num <= 0 || wanted.den <= 0) return AVRational{25, 1};
  AVRational rate{};
  av_reduce(&rate.num, &rate.den, wanted.num, wanted.den, 65535);
  return rate;
}

const AVCodec* FindEncoder(const std::string& name) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  if (!codec) throw EngineError("encoder '" + name + "' is not available in this FFmpeg");
  return codec;
}

int SupportedSampleRate(const AVCodec* codec, int wanted) {
  const int* rates = EncoderSampleRates(codec);
  if (!rates) return wanted;
  int best = rates[0];
  for (const int* r = rates; *r; ++r)
    if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
  return best;
}

int EncoderChannels(const OutputPlan& plan, const Options& options, int chainChannels) {
  if (plan.audioEncoder == "libmp3lame" && options.lame.mode == 3) return 1;
  return std::clamp(chainChannels, 1, 2);
}

CodecPtr OpenVideoEncoder(const OutputPlan& plan, const Options& options, int width, int height,
                          AVRational frameRate, bool globalHeader) {
  const AVCodec* codec = FindEncoder(plan.videoEncoder);
  CodecPtr enc = allocate(codec);
  const LavcOptions& l = options.lavc;
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->sample_aspect_ratio = AVRational{1, 1};
  // One tick per frame: the fps filter delivers a constant rate.
  enc->time_base = av_inv_q(frameRate);
  enc->framerate = frameRate;
  if (globalHeader) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (PresetEncoder(plan, l)) {
    SetUpPresetEncoder(enc.get(), plan.videoEncoder, l, frameRate);
    check(avcodec_open2(enc.get(), codec, nullptr),
          "cannot open the " + plan.videoEncoder + " encoder");
    return enc;
  }
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
  // MPEG-4 Part 2 encodes in slices, libx264 with its own threads; both give
  // the same stream for the same machine every time. Slices are the MPEG-4
  // encoder's only threads. The picture is decoded on a thread of its own at
  // the same time, so the encoder takes half the cores: on two cores one
  // slice thread is 7–10 % faster than four (320x240 and 640x480 from 720p
  // H.264, DVD MPEG-2 and SD MPEG-4), and uses less processor time.
  if (plan.videoEncoder == "mpeg4") {
    // Given threads (one of several engines at once) are the slices.
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int rows = (height + 15) / 16;
    const int wanted = l.threads > 0 ? l.threads : std::max(1, cores / 2);
    enc->thread_count = std::min(wanted, std::clamp(rows / 2, 1, 16));
    enc->thread_type = FF_THREAD_SLICE;
  } else {
    enc->thread_count = l.threads;
    enc->thread_type = FF_THREAD_SLICE | FF_THREAD_FRAME;
  }
  if (plan.videoEncoder == "mpeg4")
    ConfigureMpeg4(enc.get(), l);
  else if (plan.videoEncoder == "libx264")
    ConfigureX264(enc.get(), l, frameRate);
  check(avcodec_open2(enc.get(), codec, nullptr),
        "cannot open the " + plan.videoEncoder + " encoder");
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
    if (options.lame.mode == 0 || options.lame.mode == 2)
      SetOption(enc->priv_data, "joint_stereo", 0LL);
    if (options.lame.mode == 1) SetOption(enc->priv_data, "joint_stereo", 1LL);
  } else if (options.lavc.abitrateKbps > 0) {
    kbps = options.lavc.abitrateKbps;
  }
  enc->bit_rate = static_cast<int64_t>(kbps) * 1000;
  if (options.lavc.bitExact) enc->flags |= AV_CODEC_FLAG_BITEXACT;
  if (globalHeader) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(avcodec_open2(enc.get(), codec, nullptr),
        "cannot open the " + plan.audioEncoder + " encoder");
  return enc;
}

}  // namespace orv::engine
