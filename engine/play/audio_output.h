// Sound through SDL2: the default device, or SDL's dummy driver when there is
// none (it consumes at real-time pace, so the clock still runs). The samples
// queued and not yet played give the audio clock that the picture follows.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace orv::engine {

class AudioOutput {
 public:
  AudioOutput() = default;
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Opens a device for interleaved signed 16-bit samples. False with error
  // set when not even the dummy driver opens.
  bool open(int sampleRate, int channels, std::string& error);
  int SampleRate() const { return rate_; }
  int channels() const { return channels_; }

  // Queues samples that start at pts seconds. Blocks while more than
  // kMaxQueuedSeconds wait to be played, unless abandon() was called.
  void write(const uint8_t* data, int bytes, double pts);
  // Seconds of the stream being heard now; negative before anything played.
  double clock() const;
  // Seconds still queued.
  double queued() const;
  void pause(bool paused);
  void abandon();

  static constexpr double kMaxQueuedSeconds = 0.25;

 private:
  uint32_t device_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  double deviceLatency_ = 0;
  mutable std::mutex mutex_;
  double queuedEnd_ = -1;  // pts just after the last queued sample
  bool abandoned_ = false;
  bool paused_ = false;
};

}  // namespace orv::engine
