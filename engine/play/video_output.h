// Pictures into the engine's child window through an SDL2 renderer: each
// frame scaled to fit the window with its display aspect kept, the rest of
// the window black.
#pragma once

#include <string>

extern "C" {
#include <libavutil/frame.h>
}

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace orv::engine {

class VideoOutput {
 public:
  VideoOutput() = default;
  ~VideoOutput();
  VideoOutput(const VideoOutput&) = delete;
  VideoOutput& operator=(const VideoOutput&) = delete;

  // Takes over the X window windowId. False with error set on failure.
  bool open(unsigned long windowId, std::string& error);
  // Shows a yuv420p frame (nullptr: the last one again, e.g. after a resize).
  void show(const AVFrame* frame);
  // The window changed size: rebuild what depends on it.
  void resized(int width, int height);

 private:
  bool CreateRenderer();

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  double aspect_ = 0;  // display aspect of the last frame
  bool haveFrame_ = false;
};

}  // namespace orv::engine
