#include "engine/play/player.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavutil/channel_layout.h>
}

#include "engine/control/run_control.h"
#include "engine/play/audio_output.h"
#include "engine/play/frame_output.h"
#include "engine/play/video_output.h"
#include "engine/play/x11_embed.h"
#include "engine/source/demuxer.h"
#include "engine/source/dvd_input.h"
#include "engine/source/source.h"
#include "engine/stages/bounded_queue.h"
#include "engine/stages/filters.h"
#include "engine/stages/first_error.h"
#include "engine/stages/stream_path.h"

namespace orv::engine {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Where playback is: the sound being heard while there is sound, else a
// system clock that carries on from there (and pauses with the run).
class PlayClock {
 public:
  explicit PlayClock(AudioOutput* audio) : audio_(audio) {}

  void AudioFinished() { audioFinished_ = true; }
  bool AudioDrives() const { return audio_ && !(audioFinished_ && audio_->queued() <= 0); }

  // Starts the system clock at t (the first picture's time without sound).
  void StartAt(double t) {
    if (started_) return;
    started_ = true;
    base_ = t;
    anchor_ = Clock::now();
  }

  double now() {
    if (AudioDrives()) {
      double c = audio_->clock();
      if (c >= 0) {
        started_ = true;
        base_ = c;
        anchor_ = Clock::now();
        return c;
      }
      return -1;
    }
    if (!started_) return -1;
    return paused_ ? base_ : base_ + SecondsSince(anchor_);
  }

  void pause(bool paused) {
    if (paused == paused_) return;
    if (paused) base_ = now();
    paused_ = paused;
    anchor_ = Clock::now();
    if (audio_) audio_->pause(paused);
  }

 private:
  AudioOutput* audio_;
  bool audioFinished_ = false;
  bool started_ = false;
  bool paused_ = false;
  double base_ = 0;
  Clock::time_point anchor_{};
};

std::string LayoutName(int channels) { return channels == 1 ? "mono" : "stereo"; }

// ORVANTIC_ENGINE_TRACE=FILE: one line per picture shown, "picture DUE CLOCK
// MS" (its time, the clock when it appeared, milliseconds since the engine
// started), and "dropped DUE CLOCK MS" for skipped ones. For measuring A/V
// sync and start-up latency from outside.
class Trace {
 public:
  Trace() {
    if (const char* path = std::getenv("ORVANTIC_ENGINE_TRACE")) file_ = std::fopen(path, "w");
  }
  ~Trace() {
    if (file_) std::fclose(file_);
  }
  void log(const char* what, double due, double clock) {
    if (!file_) return;
    std::fprintf(file_, "%s %.4f %.4f %.1f\n", what, due, clock, SecondsSince(started_) * 1000);
    std::fflush(file_);  // read while we play
  }

 private:
  std::FILE* file_ = nullptr;
  Clock::time_point started_ = Clock::now();
};

class PlayRun {
 public:
  explicit PlayRun(const Options& options) : options_(options), control_(options.folder) {}
  ~PlayRun() {
    AbortAll();
    JoinThreads();
  }

  PlayOutcome run();

 private:
  static constexpr size_t kPacketQueue = 64;
  static constexpr size_t kFrameQueue = 4;

  void OpenSource();
  void OpenPictureOutput();
  void ShowPicture(const AVFrame* frame);
  bool PanelStillThere();
  void StartStages();
  PlayOutcome PlayLoop();
  void SetUpVideo(int index);
  void SetUpAudio(int index);
  void DecodeStage(StreamPath& path, PacketQueue& packets, bool video);
  void Fail(const std::string& message);
  void AbortAll();
  void JoinThreads();
  double FrameSeconds(const AVFrame* frame) const;

  const Options& options_;
  Trace trace_;
  RunControl control_;
  std::unique_ptr<DvdInput> dvd_;  // a DVD title's reader, which input_ reads through
  InputPtr input_;
  // The pictures go to the window's picture channel, or (when the engine is
  // run by hand with an X window id) into a child of that window.
  std::unique_ptr<FrameOutput> channel_;
  std::unique_ptr<X11Embed> embed_;
  std::unique_ptr<VideoOutput> video_;
  Clock::time_point lastWindowCheck_{};
  std::future<std::unique_ptr<AudioOutput>> audioOpening_;
  std::unique_ptr<AudioOutput> audio_;
  std::unique_ptr<StreamPath> videoPath_, audioPath_;
  std::unique_ptr<PacketQueue> videoPackets_, audioPackets_;
  BoundedQueue<FramePtr> frames_{kFrameQueue};
  std::unique_ptr<Demuxer> demuxer_;
  std::vector<std::thread> threads_;
  std::atomic<bool> audioDone_{false};
  FirstError error_;
  double origin_ = 0;
  double endSeconds_ = 0;
  AVRational videoTimeBase_{1, 1};
};

void PlayRun::SetUpVideo(int index) {
  videoPath_ = std::make_unique<StreamPath>(input_->streams[index], origin_, endSeconds_);
  videoPath_->OpenDecoder();
  if (dvd_) dvd_->PrepareVideo(*videoPath_);
  videoPath_->ConfigureVideoGraph([this](double) { return PlayVideoGraph(endSeconds_); });
  videoTimeBase_ = av_buffersink_get_time_base(videoPath_->sink());
  videoPath_->SetFrameHandoff([this](AVFrame* frame) {
    FramePtr copy = MakeFrame();
    av_frame_move_ref(copy.get(), frame);
    return frames_.push(std::move(copy));
  });
  videoPackets_ = std::make_unique<PacketQueue>(kPacketQueue);
}

void PlayRun::SetUpAudio(int index) {
  auto path = std::make_unique<StreamPath>(input_->streams[index], origin_, endSeconds_);
  path->OpenDecoder();
  const int inChannels = path->decoder()->ch_layout.nb_channels;
  FilterChain user = TranslateAudioFilters(options_.audioFilters, inChannels);
  if (!user.error.empty()) throw EngineError(user.error);
  std::unique_ptr<AudioOutput> audio = audioOpening_.get();
  if (!audio) return;
  path->ConfigureAudioGraph(
      [this, rate = audio->SampleRate(), layout = LayoutName(audio->channels())](
          int inputChannels, long long firstPts) {
        FilterChain chain = TranslateAudioFilters(options_.audioFilters, inputChannels);
        if (!chain.error.empty()) throw EngineError(chain.error);
        return AudioGraph(chain.description, endSeconds_, rate, "s16", layout, firstPts);
      });
  AVRational tb = av_buffersink_get_time_base(path->sink());
  AudioOutput* out = audio.get();
  path->SetFrameHandoff([out, tb](AVFrame* frame) {
    const int bytes = frame->nb_samples * frame->ch_layout.nb_channels * 2;
    out->write(frame->data[0], bytes, frame->pts == AV_NOPTS_VALUE ? 0 : frame->pts * av_q2d(tb));
    return true;
  });
  audioPath_ = std::move(path);
  audio_ = std::move(audio);
  audioPackets_ = std::make_unique<PacketQueue>(kPacketQueue);
}

void PlayRun::DecodeStage(StreamPath& path, PacketQueue& packets, bool video) {
  try {
    bool accepted = true;
    while (auto packet = packets.pop()) {
      control_.WaitWhilePaused();
      if (!(accepted = path.send(packet->get()))) break;
    }
    if (accepted && path.DrainDecoder()) path.finish(0);
  } catch (const EngineError& e) {
    Fail(e.what());
  }
  if (video)
    frames_.close();
  else
    audioDone_ = true;
}

void PlayRun::Fail(const std::string& message) {
  error_.set(message);
  AbortAll();
}

void PlayRun::AbortAll() {
  if (demuxer_) demuxer_->StopReading();
  if (videoPackets_) videoPackets_->abort();
  if (audioPackets_) audioPackets_->abort();
  frames_.abort();
  if (audio_) audio_->abandon();
  control_.release();
}

void PlayRun::JoinThreads() {
  if (demuxer_) demuxer_->join();
  for (auto& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

double PlayRun::FrameSeconds(const AVFrame* frame) const {
  return frame->pts == AV_NOPTS_VALUE ? 0
                                      : static_cast<double>(frame->pts) * av_q2d(videoTimeBase_);
}

void PlayRun::OpenSource() {
  InputRange range = OpenInputRange(options_, dvd_);
  input_ = std::move(range.input);
  origin_ = range.origin;
  endSeconds_ = range.endSeconds;
}

void PlayRun::OpenPictureOutput() {
  std::string error;
  const int channelFd = FrameChannelDescriptor(error);
  if (!error.empty()) throw EngineError(error);
  if (channelFd >= 0) {
    channel_ = FrameOutput::Open(channelFd, error);
    if (!channel_) throw EngineError(error);
    return;
  }
  embed_ = X11Embed::Open(static_cast<unsigned long>(options_.wid), error);
  if (!embed_) throw EngineError(error);
  // SDL's subsystems start one at a time.
  if (audioOpening_.valid()) audioOpening_.wait();
  video_ = std::make_unique<VideoOutput>();
  if (!video_->open(embed_->child(), error)) throw EngineError(error);
  X11Embed::InstallQuietErrorHandler();
}

void PlayRun::ShowPicture(const AVFrame* frame) {
  if (channel_)
    channel_->show(frame);
  else
    video_->show(frame);
}

// An X window we draw into may vanish or change size; the picture channel
// needs no care (the window tells its size, and a gone window ends us).
bool PlayRun::PanelStillThere() {
  if (!embed_ || SecondsSince(lastWindowCheck_) < 0.1) return true;
  SDL_PumpEvents();
  lastWindowCheck_ = Clock::now();
  bool resized = false;
  if (!embed_->update(resized)) return false;
  if (resized) {
    video_->resized(embed_->width(), embed_->height());
    video_->show(nullptr);
  }
  return true;
}

void PlayRun::StartStages() {
  const int videoIndex = SkipEmptyStream(input_.get(), FindVideoStream(input_.get()));
  const int audioIndex =
      options_.noSound ? -1
      : dvd_           ? dvd_->AudioStream(input_.get())
                       : SkipEmptyStream(input_.get(), FindAudioStream(input_.get(), options_.aid));
  if (videoIndex >= 0) SetUpVideo(videoIndex);
  if (audioIndex >= 0) SetUpAudio(audioIndex);
  if (!videoPath_ && !audioPath_) throw EngineError("the source has nothing to play");
  if (!videoPath_) frames_.close();
  if (!audioPath_) audioDone_ = true;

  demuxer_ =
      StartReading(input_.get(), origin_, options_.startSeconds > 0, control_, dvd_.get());
  if (videoPath_) demuxer_->route(videoPath_->index(), videoPackets_.get());
  if (audioPath_) demuxer_->route(audioPath_->index(), audioPackets_.get());
  demuxer_->SetDone([this] {
    return (!videoPath_ || videoPath_->PastEnd()) && (!audioPath_ || audioPath_->PastEnd());
  });

  control_.WritePosition(options_.startSeconds);
  control_.start([this] { demuxer_->StopReading(); });
  demuxer_->start();
  if (videoPath_) threads_.emplace_back([this] { DecodeStage(*videoPath_, *videoPackets_, true); });
  if (audioPath_)
    threads_.emplace_back([this] { DecodeStage(*audioPath_, *audioPackets_, false); });
}

PlayOutcome PlayRun::PlayLoop() {
  PlayClock clock(audio_.get());
  FramePtr next;
  bool shownAny = false;
  bool videoEnded = !videoPath_;
  for (;;) {
    if (control_.StopRequested()) return PlayOutcome::Stopped;
    if (!error_.empty()) return PlayOutcome::Finished;
    if (!PanelStillThere()) return PlayOutcome::WindowGone;
    clock.pause(control_.paused());
    if (control_.paused()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (audioDone_) clock.AudioFinished();
    if (!next && !videoEnded) {
      bool ended = false;
      if (auto frame = frames_.TryPop(ended)) next = std::move(*frame);
      videoEnded = ended && !next;
    }
    double now = clock.now();
    if (next) {
      const double due = FrameSeconds(next.get());
      if (now < 0 && !clock.AudioDrives()) {
        clock.StartAt(due);  // no sound: the first picture sets the clock
        now = due;
      }
      // The first picture appears as soon as it is decoded; the clock
      // then takes over.
      if (!shownAny || (now >= 0 && due <= now + 0.005)) {
        shownAny = true;
        // Late by more than a frame with newer pictures waiting: skip it.
        const bool late = now - due > 0.05 && frames_.size() > 0;
        if (options_.framedrop && late) {
          trace_.log("dropped", due, now);
        } else {
          ShowPicture(next.get());
          trace_.log("picture", due, now);
        }
        next.reset();
        continue;
      }
      const double wait = now < 0 ? 0.005 : std::min(due - now, 0.01);
      std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    } else if (videoEnded && audioDone_ && (!audio_ || audio_->queued() <= 0)) {
      return PlayOutcome::Finished;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (now >= 0) control_.SetPosition(options_.startSeconds + now);
  }
}

PlayOutcome PlayRun::run() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Finding a sound device can take a while; do it while the source is
  // probed and the window checked. Stereo at 48 kHz takes any source: the
  // audio graph converts.
  if (!options_.noSound) {
    audioOpening_ = std::async(std::launch::async, []() -> std::unique_ptr<AudioOutput> {
      auto audio = std::make_unique<AudioOutput>();
      std::string error;
      if (audio->open(48000, 2, error)) return audio;
      Warn(error + "; playing without sound");
      return nullptr;
    });
  }
  OpenSource();
  OpenPictureOutput();
  StartStages();
  const PlayOutcome outcome = PlayLoop();
  AbortAll();
  JoinThreads();
  control_.finish();
  control_.WritePosition(control_.position());
  if (!error_.empty()) throw EngineError(error_.message());
  return outcome;
}

}  // namespace

PlayOutcome RunPlay(const Options& options) {
  auto run = std::make_unique<PlayRun>(options);
  const PlayOutcome outcome = run->run();
  // Every thread has ended and the last position is written; the process
  // ends next. Taking SDL and the X connection down in order would only keep
  // the GUI waiting (some 60 ms) for what the system releases anyway.
  run.release();
  return outcome;
}

}  // namespace orv::engine
