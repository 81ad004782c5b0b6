#include "engine/encode/encoder.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "engine/av_compat.h"
#include "engine/control/run_control.h"
#include "engine/encode/chapters.h"
#include "engine/encode/codec_setup.h"
#include "engine/encode/output_file.h"
#include "engine/source/demuxer.h"
#include "engine/source/dvd_input.h"
#include "engine/source/source.h"
#include "engine/stages/bounded_queue.h"
#include "engine/stages/end_barrier.h"
#include "engine/stages/filters.h"
#include "engine/stages/first_error.h"
#include "engine/stages/stream_path.h"

namespace orv::engine {
namespace {

bool PlausibleRate(AVRational rate) {
  // Timestamp-rate guesses (1000 fps for some containers) are not real.
  double fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  return fps >= 1 && fps <= 120;
}

AVRational SourceFrameRate(AVFormatContext* input, AVStream* stream) {
  AVRational rate = av_guess_frame_rate(input, stream, nullptr);
  if (PlausibleRate(rate)) return rate;
  if (PlausibleRate(stream->avg_frame_rate)) return stream->avg_frame_rate;
  return AVRational{25, 1};
}

// The stream's tag: -ffourcc for MPEG-4 Part 2 and HEVC; HEVC in MP4 is
// always tagged hvc1 (parameter sets in the sample entry), the one Apple's
// players take. 0 leaves the muxer's choice.
uint32_t VideoTag(const OutputPlan& plan, const std::string& fourcc) {
  const bool mp4 = plan.muxer == "mp4" || plan.muxer == "mov";
  if (plan.videoEncoder == "libx265" && mp4) return MKTAG('h', 'v', 'c', '1');
  if (fourcc.size() == 4 && plan.videoEncoder == "mpeg4")
    return MKTAG(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
  return 0;
}

// The -ofps value as a fraction: 29.97 is 2997/100, 23.976 is 2997/125.
AVRational RequestedFrameRate(double fps) { return av_d2q(fps, 1000000); }

class EncodeRun {
 public:
  EncodeRun(const Options& options, const OutputPlan& plan)
      : options_(options), plan_(plan), control_(options.folder) {}
  ~EncodeRun();

  EncodeOutcome run();

 private:
  // Enough to keep every stage busy, little enough to bound memory.
  static constexpr size_t kPacketQueue = 32;
  static constexpr size_t kFrameQueue = 6;
  static constexpr size_t kMuxQueue = 64;
  // Packets are small and many: their queues wake a waiting stage per batch.
  static constexpr size_t kPacketBatch = 8;
  static constexpr double kMaxLeadSeconds = 0.2;

  // One stream's stages: its packets, its decode-and-filter thread, and for
  // video a second thread that encodes the filtered frames.
  struct Stage {
    std::unique_ptr<StreamPath> path;
    std::unique_ptr<PacketQueue> packets;
    std::unique_ptr<BoundedQueue<FramePtr>> frames;
  };

  void SetUpVideo(int index);
  void SetUpAudio(int index);
  void AddStage(std::unique_ptr<StreamPath> path, bool ownEncoderThread);
  AVStream* AddOutputStream(const AVCodecContext* encoder);
  bool QueuePacket(AVPacket* packet);
  void DecodeStage(Stage& stage);
  void EncodeStage(Stage& stage);
  void KeepPace(const StreamPath& path);
  void ProducerDone();
  void Fail(const std::string& message);
  void AbortAll();
  void UpdatePosition();
  void JoinThreads();
  void CheckOutput(double decodedEnd) const;
  // A warning when the source ends well before its header says it does.
  void WarnIfCutOff(double decodedEnd) const;
  void WriteHeader();
  void OpenStreams();
  void StartStages();
  void MuxPackets();
  std::vector<ChapterMark> SourceChapters() const;

  const Options& options_;
  const OutputPlan& plan_;
  RunControl control_;
  std::unique_ptr<DvdInput> dvd_;  // a DVD title's reader, which input_ reads through
  InputPtr input_;
  std::unique_ptr<OutputFile> output_;
  std::vector<Stage> stages_;
  std::vector<std::thread> threads_;
  std::unique_ptr<Demuxer> demuxer_;
  std::unique_ptr<EndBarrier> barrier_;
  BoundedQueue<PacketPtr> muxQueue_{kMuxQueue, kPacketBatch};
  std::atomic<int> producers_{0};
  FirstError error_;
  std::atomic<double> commonEnd_{0};
  std::atomic<double> videoMuxed_{0};  // output seconds of picture written
  double endSeconds_ = 0;
  double origin_ = 0;
  double frameSeconds_ = 0;  // output frame duration, 0 without video
  bool sizeLimitHit_ = false;
};

void EncodeRun::SetUpVideo(int index) {
  AVStream* in = input_->streams[index];
  auto path = std::make_unique<StreamPath>(in, origin_, endSeconds_);
  path->OpenDecoder(options_.decodeThreads);
  if (dvd_) dvd_->PrepareVideo(*path);
  FilterChain user = TranslateVideoFilters(options_.videoFilters);
  if (!user.error.empty()) throw EngineError(user.error);
  AVRational rate = EncoderFrameRate(options_.outputFps > 0 ? RequestedFrameRate(options_.outputFps)
                                                            : SourceFrameRate(input_.get(), in));
  path->ConfigureVideoGraph([this, rate, chain = user.description](double firstSeconds) {
    return VideoGraph(chain, rate.num, rate.den, endSeconds_, firstSeconds);
  });
  AVFilterContext* sink = path->sink();
  frameSeconds_ = av_q2d(av_inv_q(rate));
  CodecPtr enc = OpenVideoEncoder(plan_, options_, av_buffersink_get_w(sink),
                                  av_buffersink_get_h(sink), rate, output_->NeedsGlobalHeader());
  AVStream* out = AddOutputStream(enc.get());
  out->codecpar->codec_tag = VideoTag(plan_, options_.fourcc);
  path->AttachEncoder(std::move(enc), out, [this](AVPacket* p) { return QueuePacket(p); });
  AddStage(std::move(path), true);
}

void EncodeRun::SetUpAudio(int index) {
  AVStream* in = input_->streams[index];
  auto path = std::make_unique<StreamPath>(in, origin_, endSeconds_);
  path->OpenDecoder(options_.decodeThreads);
  int inChannels = path->decoder()->ch_layout.nb_channels;
  FilterChain user = TranslateAudioFilters(options_.audioFilters, inChannels);
  if (!user.error.empty()) throw EngineError(user.error);

  const AVCodec* codec = FindEncoder(plan_.audioEncoder);
  int rate = SupportedSampleRate(
      codec, options_.sampleRate > 0 ? options_.sampleRate : path->decoder()->sample_rate);
  const AVSampleFormat* formats = EncoderSampleFormats(codec);
  AVSampleFormat format = formats ? formats[0] : AV_SAMPLE_FMT_FLTP;
  int channels =
      EncoderChannels(plan_, options_, user.outputChannels ? user.outputChannels : inChannels);
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, channels);
  char layoutName[64] = {};
  av_channel_layout_describe(&layout, layoutName, sizeof layoutName);

  // A change of the decoded sound rebuilds the graph for it; the output
  // keeps the rate, sample format and layout the encoder was opened with.
  path->ConfigureAudioGraph(
      [this, rate, format, name = std::string(layoutName)](int inputChannels, long long firstPts) {
        FilterChain chain = TranslateAudioFilters(options_.audioFilters, inputChannels);
        if (!chain.error.empty()) throw EngineError(chain.error);
        return AudioGraph(chain.description, endSeconds_, rate, av_get_sample_fmt_name(format),
                          name, firstPts);
      });
  CodecPtr enc =
      OpenAudioEncoder(plan_, options_, rate, layout, format, output_->NeedsGlobalHeader());
  av_channel_layout_uninit(&layout);
  AVStream* out = AddOutputStream(enc.get());
  path->AttachEncoder(std::move(enc), out, [this](AVPacket* p) { return QueuePacket(p); });
  AddStage(std::move(path), false);
}

void EncodeRun::AddStage(std::unique_ptr<StreamPath> path, bool ownEncoderThread) {
  Stage stage;
  stage.path = std::move(path);
  stage.packets = std::make_unique<PacketQueue>(kPacketQueue, kPacketBatch);
  if (ownEncoderThread) {
    stage.frames = std::make_unique<BoundedQueue<FramePtr>>(kFrameQueue);
    BoundedQueue<FramePtr>* frames = stage.frames.get();
    stage.path->SetFrameHandoff([frames](AVFrame* frame) {
      FramePtr copy = MakeFrame();
      av_frame_move_ref(copy.get(), frame);
      return frames->push(std::move(copy));
    });
  }
  stages_.push_back(std::move(stage));
}

AVStream* EncodeRun::AddOutputStream(const AVCodecContext* encoder) {
  AVStream* out = avformat_new_stream(output_->context(), nullptr);
  if (!out) throw EngineError("out of memory");
  check(avcodec_parameters_from_context(out->codecpar, encoder), "cannot set up the output stream");
  out->time_base = encoder->time_base;
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) out->avg_frame_rate = encoder->framerate;
  return out;
}

bool EncodeRun::QueuePacket(AVPacket* packet) {
  PacketPtr copy = MakePacket();
  av_packet_move_ref(copy.get(), packet);
  return muxQueue_.push(std::move(copy));
}

EncodeRun::~EncodeRun() {
  AbortAll();
  JoinThreads();
}

void EncodeRun::Fail(const std::string& message) {
  error_.set(message);
  AbortAll();
}

void EncodeRun::AbortAll() {
  if (demuxer_) demuxer_->StopReading();
  for (auto& s : stages_) {
    s.packets->abort();
    if (s.frames) s.frames->abort();
  }
  if (barrier_) barrier_->abort();
  muxQueue_.abort();
  control_.release();
}

void EncodeRun::JoinThreads() {
  if (demuxer_) demuxer_->join();
  for (auto& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void EncodeRun::ProducerDone() {
  if (--producers_ == 0) muxQueue_.close();
}

void EncodeRun::UpdatePosition() {
  double newest = 0;
  for (const auto& s : stages_) newest = std::max(newest, s.path->position());
  control_.SetPosition(options_.startSeconds + newest);
}

void EncodeRun::DecodeStage(Stage& stage) {
  StreamPath& path = *stage.path;
  try {
    bool accepted = true;
    while (auto packet = stage.packets->pop()) {
      control_.WaitWhilePaused();
      if (!stage.frames) KeepPace(path);
      if (!(accepted = path.send(packet->get()))) break;
      UpdatePosition();
    }
    // A stop ends the output where it is: what the codecs still hold would
    // only delay the end.
    accepted = accepted && !control_.StopRequested() && path.DrainDecoder();
    // Every stream arrives, so none waits for ever; the run may have been
    // aborted or stopped meanwhile (-1).
    const double end = barrier_->arrive(path.DecodedEnd());
    if (accepted && end >= 0 && !control_.StopRequested()) {
      commonEnd_ = end;
      path.finish(end);
    } else if (!stage.frames && control_.StopRequested() && path.EncodedPackets() == 0) {
      // Stopped before the sound encoder wrote anything: as for the picture
      // (EncodeStage), what it holds is kept so the file has a sound track.
      path.EncodeFrame(nullptr);
    }
  } catch (const EngineError& e) {
    Fail(e.what());
    barrier_->abort();
  }
  if (stage.frames) {
    stage.frames->close();
  } else {
    ProducerDone();
  }
}

void EncodeRun::KeepPace(const StreamPath& path) {
  // Sound is cheap to encode and would run far ahead of the picture (the
  // video encoder alone may hold a second and a half); where a run ends
  // early (a stop, a size limit) both should end together. Only while the
  // picture has work queued, so the demuxer never waits on a queue that
  // nobody empties.
  for (auto& other : stages_) {
    if (!other.frames) continue;
    while (path.position() > videoMuxed_.load() + kMaxLeadSeconds &&
           (other.packets->size() > 0 || other.frames->size() > 0) && !control_.StopRequested() &&
           !other.path->PastEnd())
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void EncodeRun::EncodeStage(Stage& stage) {
  try {
    bool accepted = true;
    while (auto frame = stage.frames->pop()) {
      control_.WaitWhilePaused();
      if (!(accepted = stage.path->EncodeFrame(frame->get()))) break;
    }
    // A stop gives up what the encoder still holds, unless it has written
    // nothing yet: a file stopped that early would have no picture at all
    // (libx264 holds its first second while the machine is busy). That the
    // stop refused the decode thread its last frame does not prevent it.
    if (accepted && (!control_.StopRequested() || stage.path->EncodedPackets() == 0))
      stage.path->EncodeFrame(nullptr);
  } catch (const EngineError& e) {
    Fail(e.what());
  }
  ProducerDone();
}

void EncodeRun::CheckOutput(double decodedEnd) const {
  long long decoded = 0, encoded = 0, damaged = 0;
  for (const auto& stage : stages_) {
    const StreamPath* p = stage.path.get();
    decoded += p->DecodedFrames();
    encoded += p->EncodedPackets();
    damaged += p->DecodeErrors();
  }
  if (decoded == 0) {
    if (!demuxer_->ReadError().empty())
      throw EngineError("cannot read '" + options_.source + "': " + demuxer_->ReadError());
    throw EngineError("no audio or video could be decoded from '" + options_.source + "'");
  }
  if (encoded == 0) throw EngineError("nothing was encoded: the range lies outside the source");
  // Every stream must reach what was decoded: a short file is never a success.
  for (const auto& stage : stages_) {
    const StreamPath* p = stage.path.get();
    const bool video = p->type() == AVMEDIA_TYPE_VIDEO;
    const double tolerance = video ? 1.5 * frameSeconds_ : 0.1;
    if (p->EncodedEnd() + tolerance < decodedEnd) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "the %s output is shorter than the source (%.2f s of %.2f s)",
                    video ? "video" : "audio", p->EncodedEnd(), decodedEnd);
      throw EngineError(text);
    }
  }
  if (damaged > 0)
    Warn(std::to_string(damaged) + " damaged packets of '" + options_.source + "' were skipped");
  if (!demuxer_->ReadError().empty())
    Warn("reading '" + options_.source + "' stopped early: " + demuxer_->ReadError());
  WarnIfCutOff(decodedEnd);
}

void EncodeRun::WarnIfCutOff(double decodedEnd) const {
  // A DVD title's length is its cells, with no header to promise one; a
  // length guessed from the bit rate (MP3 files joined from others) promises
  // nothing either.
  if (!demuxer_->ReachedEnd() || dvd_ ||
      input_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
    return;
  // A header that promises more than the file holds: a cut-off download.
  // Streams that state their own length are judged by it (a sound track
  // may well end before the picture).
  double promised = 0;
  for (const auto& stage : stages_) {
    const StreamPath* p = stage.path.get();
    const AVStream* s = input_->streams[p->index()];
    if (s->duration == AV_NOPTS_VALUE || s->duration <= 0) {
      promised = 0;
      break;
    }
    double start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time * av_q2d(s->time_base);
    promised = std::max(promised,
                        start + s->duration * av_q2d(s->time_base) - SourceStartTime(input_.get()));
  }
  if (promised <= 0 && input_->duration > 0)
    promised = static_cast<double>(input_->duration) / AV_TIME_BASE;
  if (promised <= 0) return;
  if (endSeconds_ > 0) promised = std::min(promised, options_.startSeconds + endSeconds_);
  const double reached = options_.startSeconds + decodedEnd;
  if (reached < promised - std::max(0.5, 0.02 * promised)) {
    char text[200];
    std::snprintf(
        text, sizeof text,
        "the source ends at %.2f s of the %.2f s its header promises; it is truncated or damaged",
        reached, promised);
    Warn(text);
  }
}

std::vector<ChapterMark> EncodeRun::SourceChapters() const {
  if (!dvd_) return FileChapters(input_.get(), SourceStartTime(input_.get()));
  // A DVD title's chapters, numbered as the disc numbers them, each running
  // to the next one or to the end of the range.
  std::vector<ChapterMark> marks;
  const std::vector<double>& starts = dvd_->ChapterStarts();
  for (size_t i = 0; i < starts.size(); ++i) {
    const double end = i + 1 < starts.size() ? starts[i + 1] : dvd_->RangeSeconds();
    marks.push_back(
        {starts[i], end, "Chapter " + std::to_string(dvd_->FirstChapter() + static_cast<int>(i))});
  }
  return marks;
}

void EncodeRun::WriteHeader() {
  AVDictionary* muxerOptions = nullptr;
  if (plan_.muxer == "mp3") {
    // A bare MP3 stream: no ID3 tag, no Xing/LAME info frame.
    av_dict_set(&muxerOptions, "id3v2_version", "0", 0);
    av_dict_set(&muxerOptions, "write_xing", "0", 0);
  }
  // Chapter marks go into containers that keep them, cut to this run's range
  // (a trim, a piece of a split item).
  if (options_.chapters && plan_.muxer != "mp3" && plan_.muxer != "adts")
    AddChapters(output_->context(),
                ChaptersInRange(SourceChapters(), options_.startSeconds, endSeconds_));
  output_->WriteHeader(&muxerOptions);
  av_dict_free(&muxerOptions);
}

void EncodeRun::OpenStreams() {
  InputRange range = OpenInputRange(options_, dvd_);
  input_ = std::move(range.input);
  origin_ = range.origin;
  endSeconds_ = range.endSeconds;
  uint64_t sizeLimit = options_.end.kind == EndKind::Size ? options_.end.bytes : 0;
  output_ = std::make_unique<OutputFile>(options_.output, plan_.muxer, sizeLimit);

  const int videoIndex =
      plan_.video ? SkipEmptyStream(input_.get(), FindVideoStream(input_.get())) : -1;
  const int audioIndex =
      !plan_.audio ? -1
      : dvd_       ? dvd_->AudioStream(input_.get())
                   : SkipEmptyStream(input_.get(), FindAudioStream(input_.get(), options_.aid));
  if (videoIndex < 0 && audioIndex < 0) {
    throw EngineError(plan_.video && !plan_.audio
                          ? "the source has no video stream to encode"
                          : "the source has no stream that this output can carry");
  }
  if (videoIndex >= 0) SetUpVideo(videoIndex);
  if (audioIndex >= 0) SetUpAudio(audioIndex);
}

void EncodeRun::StartStages() {
  demuxer_ =
      StartReading(input_.get(), origin_, options_.startSeconds > 0, control_, dvd_.get());
  for (auto& s : stages_) demuxer_->route(s.path->index(), s.packets.get());
  demuxer_->SetDone([this] {
    return std::all_of(stages_.begin(), stages_.end(),
                       [](const Stage& s) { return s.path->PastEnd(); });
  });
  barrier_ = std::make_unique<EndBarrier>(static_cast<int>(stages_.size()), endSeconds_);
  producers_ = static_cast<int>(stages_.size());

  control_.WritePosition(options_.startSeconds);
  control_.start([this] {
    demuxer_->StopReading();
    barrier_->abort();
    for (auto& s : stages_)
      if (s.frames) s.frames->CloseAndClear();
  });
  demuxer_->start();
  for (auto& s : stages_) {
    threads_.emplace_back([this, &s] {
      pthread_setname_np(pthread_self(), s.frames ? "video decode" : "audio");
      DecodeStage(s);
    });
    if (s.frames) {
      threads_.emplace_back([this, &s] {
        pthread_setname_np(pthread_self(), "video encode");
        EncodeStage(s);
      });
    }
  }
}

// The muxer runs on the caller's thread: packets in arrival order,
// interleaved by libavformat, each checked against the size limit before it
// is written.
void EncodeRun::MuxPackets() {
  try {
    while (auto packet = muxQueue_.pop()) {
      if (!output_->fits(packet->get())) {
        sizeLimitHit_ = true;
        break;
      }
      const int index = (*packet)->stream_index;
      const AVStream* stream = output_->context()->streams[index];
      if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && (*packet)->pts != AV_NOPTS_VALUE)
        videoMuxed_ =
            static_cast<double>((*packet)->pts + (*packet)->duration) * av_q2d(stream->time_base);
      output_->write(packet->get());
    }
  } catch (const EngineError& e) {
    Fail(e.what());
  }
}

EncodeOutcome EncodeRun::run() {
  OpenStreams();
  WriteHeader();
  StartStages();
  MuxPackets();
  if (sizeLimitHit_) AbortAll();
  JoinThreads();
  const bool stopped = control_.StopRequested();
  control_.finish();
  if (!error_.empty()) throw EngineError(error_.message());
  if (!stopped && !sizeLimitHit_) CheckOutput(commonEnd_);
  output_->finish();
  UpdatePosition();
  control_.WritePosition(control_.position());
  if (stopped) return EncodeOutcome::Stopped;
  return sizeLimitHit_ ? EncodeOutcome::SizeLimit : EncodeOutcome::Completed;
}

}  // namespace

EncodeOutcome RunEncode(const Options& options, const OutputPlan& plan) {
  EncodeRun run(options, plan);
  return run.run();
}

}  // namespace orv::engine
