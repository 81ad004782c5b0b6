#include "engine/play/video_output.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orv::engine {

VideoOutput::~VideoOutput() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool VideoOutput::open(unsigned long windowId, std::string& error) {
  // A preview panel needs no GPU: the software renderer starts at once and
  // draws a 640x480 picture with little CPU, while the GL path loads a whole
  // driver first (and on machines without a GPU, a CPU rasteriser).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("cannot start the video output: ") + SDL_GetError();
    return false;
  }
  window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(windowId)));
  if (!window_) {
    error = std::string("cannot use window ") + std::to_string(windowId) + ": " + SDL_GetError();
    return false;
  }
  if (!CreateRenderer()) {
    error = std::string("cannot draw into the window: ") + SDL_GetError();
    return false;
  }
  return true;
}

bool VideoOutput::CreateRenderer() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  texture_ = nullptr;
  textureWidth_ = textureHeight_ = 0;
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) return false;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
  return true;
}

void VideoOutput::resized(int width, int height) {
  SDL_SetWindowSize(window_, width, height);
  // Software renderers keep a surface of the old size: start afresh.
  CreateRenderer();
  if (haveFrame_) haveFrame_ = false;  // the texture is gone; the next frame redraws
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
}

void VideoOutput::show(const AVFrame* frame) {
  if (!renderer_) return;
  if (frame) {
    if (!texture_ || textureWidth_ != frame->width || textureHeight_ != frame->height) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING,
                                   frame->width, frame->height);
      if (!texture_) return;
      textureWidth_ = frame->width;
      textureHeight_ = frame->height;
    }
    SDL_UpdateYUVTexture(texture_, nullptr, frame->data[0], frame->linesize[0], frame->data[1],
                         frame->linesize[1], frame->data[2], frame->linesize[2]);
    double sar = frame->sample_aspect_ratio.num > 0 && frame->sample_aspect_ratio.den > 0
                     ? av_q2d(frame->sample_aspect_ratio)
                     : 1.0;
    aspect_ = frame->width * sar / std::max(frame->height, 1);
    haveFrame_ = true;
  }
  if (!haveFrame_ || !texture_) return;
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(renderer_, &w, &h);
  SDL_Rect rect{0, 0, w, h};
  if (aspect_ > 0 && w > 0 && h > 0) {
    if (w > h * aspect_) {
      rect.w = static_cast<int>(std::lround(h * aspect_));
      rect.x = (w - rect.w) / 2;
    } else {
      rect.h = static_cast<int>(std::lround(w / aspect_));
      rect.y = (h - rect.h) / 2;
    }
  }
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, &rect);
  SDL_RenderPresent(renderer_);
}

}  // namespace orv::engine
