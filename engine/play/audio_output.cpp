#include "engine/play/audio_output.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace orv::engine {

AudioOutput::~AudioOutput() {
  if (device_) SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioOutput::open(int sampleRate, int channels, std::string& error) {
  SDL_AudioSpec wanted{};
  wanted.freq = sampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<Uint8>(channels);
  wanted.samples = 1024;
  SDL_AudioSpec got{};
  for (int attempt = 0; attempt < 2 && !device_; ++attempt) {
    if (attempt == 1) {
      // No sound card, no sound server: play silently in real time.
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) continue;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
  }
  if (!device_) {
    error = std::string("cannot open an audio output: ") + SDL_GetError();
    return false;
  }
  rate_ = got.freq;
  channels_ = got.channels;
  deviceLatency_ = static_cast<double>(got.samples) / got.freq;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void AudioOutput::write(const uint8_t* data, int bytes, double pts) {
  const double bytesPerSecond = 2.0 * channels_ * rate_;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (abandoned_) return;
    }
    if (SDL_GetQueuedAudioSize(device_) / bytesPerSecond <= kMaxQueuedSeconds) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::lock_guard lock(mutex_);
  SDL_QueueAudio(device_, data, static_cast<Uint32>(bytes));
  queuedEnd_ = pts + bytes / bytesPerSecond;
}

double AudioOutput::queued() const {
  return SDL_GetQueuedAudioSize(device_) / (2.0 * channels_ * rate_);
}

double AudioOutput::clock() const {
  std::lock_guard lock(mutex_);
  if (queuedEnd_ < 0) return -1;
  return queuedEnd_ - queued() - (paused_ ? 0 : deviceLatency_);
}

void AudioOutput::pause(bool paused) {
  {
    std::lock_guard lock(mutex_);
    paused_ = paused;
  }
  SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void AudioOutput::abandon() {
  std::lock_guard lock(mutex_);
  abandoned_ = true;
  if (device_) SDL_ClearQueuedAudio(device_);
}

}  // namespace orv::engine
