#include "engine/stages/subtitle_overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace orv::engine {
namespace {

constexpr double kForever = std::numeric_limits<double>::infinity();

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// The decoder takes its palette as RGB; we convert the table's YCrCb with
// the BT.601 equations and back again when blending, so what is burnt in
// is the colour the disc names.
std::string PaletteOption(const uint32_t (&palette)[16]) {
  std::string text;
  for (uint32_t entry : palette) {
    const double y = (entry >> 16) & 0xff, cr = ((entry >> 8) & 0xff) - 128.0,
                 cb = (entry & 0xff) - 128.0;
    char colour[8];
    std::snprintf(colour, sizeof colour, "%02x%02x%02x", Clamp(y + 1.402 * cr),
                  Clamp(y - 0.344136 * cb - 0.714136 * cr), Clamp(y + 1.772 * cb));
    text += (text.empty() ? "" : ",") + std::string(colour);
  }
  return text;
}

}  // namespace

SubtitleOverlay::SubtitleOverlay(const uint32_t (&palette)[16]) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE);
  if (!codec) throw EngineError("no decoder for DVD subtitles");
  decoder_.reset(avcodec_alloc_context3(codec));
  if (!decoder_) throw EngineError("out of memory");
  decoder_->pkt_timebase = AVRational{1, 90000};
  AVDictionary* options = nullptr;
  av_dict_set(&options, "palette", PaletteOption(palette).c_str(), 0);
  const int rc = avcodec_open2(decoder_.get(), codec, &options);
  av_dict_free(&options);
  check(rc, "cannot open the DVD subtitle decoder");
}

void SubtitleOverlay::feed(const AVPacket* packet, AVRational timeBase) {
  AVPacket* copy = av_packet_clone(packet);
  if (!copy) return;
  // A subpicture spans several packets and only the first has a time; the
  // decoder answers on the last one.
  if (copy->pts != AV_NOPTS_VALUE)
    lastPts_ = av_rescale_q(copy->pts, timeBase, decoder_->pkt_timebase);
  copy->pts = copy->dts = lastPts_;
  AVSubtitle subtitle{};
  int got = 0;
  const int rc = avcodec_decode_subtitle2(decoder_.get(), &subtitle, &got, copy);
  av_packet_free(&copy);
  // A damaged subpicture is skipped, as a player would.
  if (rc < 0 || !got) return;

  Shown shown;
  const double at =
      subtitle.pts == AV_NOPTS_VALUE ? 0 : static_cast<double>(subtitle.pts) / AV_TIME_BASE;
  shown.start = at + subtitle.start_display_time / 1000.0;
  const uint32_t end = subtitle.end_display_time;
  shown.end = end == 0 || end >= 0x7fffffffu ? kForever : at + end / 1000.0;
  for (unsigned i = 0; i < subtitle.num_rects; ++i) {
    const AVSubtitleRect* rect = subtitle.rects[i];
    if (rect->type != SUBTITLE_BITMAP || rect->w <= 0 || rect->h <= 0) continue;
    Bitmap bitmap;
    bitmap.x = rect->x;
    bitmap.y = rect->y;
    bitmap.width = rect->w;
    bitmap.height = rect->h;
    bitmap.indexes.resize(static_cast<size_t>(rect->w) * rect->h);
    for (int row = 0; row < rect->h; ++row)
      std::copy_n(rect->data[0] + static_cast<ptrdiff_t>(row) * rect->linesize[0], rect->w,
                  bitmap.indexes.begin() + static_cast<ptrdiff_t>(row) * rect->w);
    const auto* argb = reinterpret_cast<const uint32_t*>(rect->data[1]);
    for (int c = 0; c < std::min(rect->nb_colors, 256); ++c) {
      const double r = (argb[c] >> 16) & 0xff, g = (argb[c] >> 8) & 0xff, b = argb[c] & 0xff;
      const double y = 0.299 * r + 0.587 * g + 0.114 * b;
      bitmap.colours[c] = {Clamp(y), Clamp((b - y) / 1.772 + 128), Clamp((r - y) / 1.402 + 128),
                           static_cast<uint8_t>(argb[c] >> 24)};
    }
    shown.bitmaps.push_back(std::move(bitmap));
  }
  avsubtitle_free(&subtitle);

  std::lock_guard lock(mutex_);
  // Subpictures come in time order; one not newer than the last is one we
  // were given before (read ahead of a seek's landing point).
  if (!shown_.empty() && shown.start <= shown_.back().start) return;
  // A new subpicture (or an empty one, which clears the screen) ends the
  // one that had no end of its own.
  if (!shown_.empty() && shown_.back().end > shown.start) shown_.back().end = shown.start;
  if (!shown.bitmaps.empty()) shown_.push_back(std::move(shown));
}

void SubtitleOverlay::BurnInto(AVFrame* frame, double seconds) {
  const auto* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
  if (!desc || desc->nb_components < 3 || (desc->flags & AV_PIX_FMT_FLAG_RGB) ||
      desc->log2_chroma_w != 1 || desc->log2_chroma_h != 1 || desc->comp[0].depth != 8)
    return;  // DVD video decodes to 8-bit 4:2:0; nothing else reaches here
  std::lock_guard lock(mutex_);
  // Pictures come in time order: what ended before this one is done with.
  while (!shown_.empty() && shown_.front().end <= seconds) shown_.pop_front();
  for (const Shown& s : shown_) {
    if (s.start > seconds) break;
    if (av_frame_make_writable(frame) < 0) return;
    for (const Bitmap& b : s.bitmaps) Blend(frame, b);
  }
}

void SubtitleOverlay::Blend(AVFrame* frame, const Bitmap& b) const {
  const int x0 = std::max(b.x, 0), y0 = std::max(b.y, 0);
  const int x1 = std::min(b.x + b.width, frame->width),
            y1 = std::min(b.y + b.height, frame->height);
  auto mix = [](uint8_t& under, uint8_t over, int alpha) {
    under = static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
  };
  for (int y = y0; y < y1; ++y) {
    uint8_t* luma = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
    const uint8_t* row = b.indexes.data() + static_cast<ptrdiff_t>(y - b.y) * b.width;
    for (int x = x0; x < x1; ++x) {
      const Pixel& p = b.colours[row[x - b.x]];
      if (p.alpha) mix(luma[x], p.y, p.alpha);
      // Each chroma sample takes the subpicture pixel at its top left.
      if ((x & 1) == 0 && (y & 1) == 0 && p.alpha) {
        mix(frame->data[1][static_cast<ptrdiff_t>(y / 2) * frame->linesize[1] + x / 2], p.u,
            p.alpha);
        mix(frame->data[2][static_cast<ptrdiff_t>(y / 2) * frame->linesize[2] + x / 2], p.v,
            p.alpha);
      }
    }
  }
}

}  // namespace orv::engine
