#include "mediaengine/encoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "mediaengine/codec_setup.h"
#include "mediaengine/filters.h"
#include "mediaengine/output_file.h"
#include "mediaengine/source.h"
#include "mediaengine/status_files.h"
#include "mediaengine/stream_path.h"
#include "mediaengine/timestamp_fixer.h"

namespace orv::engine {
namespace {

using Clock = std::chrono::steady_clock;

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

// The -ofps value as a fraction: 29.97 is 2997/100, 23.976 is 2997/125.
AVRational RequestedFrameRate(double fps) { return av_d2q(fps, 1000000); }

int FindAudioStream(AVFormatContext* input, int aid) {
  if (aid >= 0) {
    int ordinal = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      AVStream* s = input->streams[i];
      if (s->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      if (s->id == aid || ordinal == aid) return static_cast<int>(i);
      ++ordinal;
    }
  }
  return av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
}

int FindVideoStream(AVFormatContext* input) {
  int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index >= 0 && (input->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) return -1;
  return index;
}

class EncodeRun {
 public:
  EncodeRun(const Options& options, const OutputPlan& plan)
      : options_(options), plan_(plan), control_(options.folder), position_(options.folder) {}

  EncodeOutcome run();

 private:
  void SetUpVideo(int index);
  void SetUpAudio(int index);
  AVStream* AddOutputStream(const AVCodecContext* encoder);
  bool WritePacket(AVPacket* packet);
  // Returns false when the GUI asked to stop.
  bool HonourControl();
  double SourcePosition() const;
  // Ends every stream at the same point and drains them.
  double FinishStreams();
  void CheckOutput(double decodedEnd, bool reachedEof) const;

  const Options& options_;
  const OutputPlan& plan_;
  ControlPoller control_;
  PositionWriter position_;
  InputPtr input_;
  std::unique_ptr<OutputFile> output_;
  std::vector<std::unique_ptr<StreamPath>> paths_;
  double endSeconds_ = 0;
  double origin_ = 0;
  double frameSeconds_ = 0;  // output frame duration, 0 without video
  int readErrors_ = 0;
  std::string readError_;
  bool sizeLimitHit_ = false;
  Clock::time_point lastPoll_{};
};

void EncodeRun::SetUpVideo(int index) {
  AVStream* in = input_->streams[index];
  auto path = std::make_unique<StreamPath>(in, origin_, endSeconds_);
  path->OpenDecoder();
  FilterChain user = TranslateVideoFilters(options_.videoFilters);
  if (!user.error.empty()) throw EngineError(user.error);
  AVRational rate = EncoderFrameRate(options_.outputFps > 0 ? RequestedFrameRate(options_.outputFps)
                                                            : SourceFrameRate(input_.get(), in));
  path->ConfigureGraph(VideoGraph(user.description, rate.num, rate.den, endSeconds_));
  AVFilterContext* sink = path->sink();
  frameSeconds_ = av_q2d(av_inv_q(rate));
  CodecPtr enc = OpenVideoEncoder(plan_, options_, av_buffersink_get_w(sink),
                                  av_buffersink_get_h(sink), rate, output_->NeedsGlobalHeader());
  AVStream* out = AddOutputStream(enc.get());
  if (!options_.fourcc.empty() && plan_.videoEncoder == "mpeg4") {
    const std::string& f = options_.fourcc;
    out->codecpar->codec_tag = MKTAG(f[0], f[1], f[2], f[3]);
  }
  path->AttachEncoder(std::move(enc), out, [this](AVPacket* p) { return WritePacket(p); });
  paths_.push_back(std::move(path));
}

void EncodeRun::SetUpAudio(int index) {
  AVStream* in = input_->streams[index];
  auto path = std::make_unique<StreamPath>(in, origin_, endSeconds_);
  path->OpenDecoder();
  int inChannels = path->decoder()->ch_layout.nb_channels;
  FilterChain user = TranslateAudioFilters(options_.audioFilters, inChannels);
  if (!user.error.empty()) throw EngineError(user.error);

  const AVCodec* codec = FindEncoder(plan_.audioEncoder);
  int rate = SupportedSampleRate(
      codec, options_.sampleRate > 0 ? options_.sampleRate : path->decoder()->sample_rate);
  AVSampleFormat format = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
  int channels =
      EncoderChannels(plan_, options_, user.outputChannels ? user.outputChannels : inChannels);
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, channels);
  char layoutName[64] = {};
  av_channel_layout_describe(&layout, layoutName, sizeof layoutName);

  path->ConfigureGraph(
      AudioGraph(user.description, endSeconds_, rate, av_get_sample_fmt_name(format), layoutName));
  CodecPtr enc =
      OpenAudioEncoder(plan_, options_, rate, layout, format, output_->NeedsGlobalHeader());
  av_channel_layout_uninit(&layout);
  AVStream* out = AddOutputStream(enc.get());
  path->AttachEncoder(std::move(enc), out, [this](AVPacket* p) { return WritePacket(p); });
  paths_.push_back(std::move(path));
}

AVStream* EncodeRun::AddOutputStream(const AVCodecContext* encoder) {
  AVStream* out = avformat_new_stream(output_->context(), nullptr);
  if (!out) throw EngineError("out of memory");
  check(avcodec_parameters_from_context(out->codecpar, encoder), "cannot set up the output stream");
  out->time_base = encoder->time_base;
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) out->avg_frame_rate = encoder->framerate;
  return out;
}

bool EncodeRun::WritePacket(AVPacket* packet) {
  if (sizeLimitHit_ || !output_->fits(packet)) {
    sizeLimitHit_ = true;
    return false;
  }
  output_->write(packet);
  return true;
}

double EncodeRun::SourcePosition() const {
  double newest = 0;
  for (const auto& p : paths_) newest = std::max(newest, p->position());
  return options_.startSeconds + newest;
}

bool EncodeRun::HonourControl() {
  auto now = Clock::now();
  if (now - lastPoll_ < std::chrono::milliseconds(40)) return true;
  lastPoll_ = now;
  EngineCommand command = control_.poll();
  while (command == EngineCommand::Pause) {
    // Hold position: read nothing until the GUI resumes or stops.
    position_.MaybeWrite(SourcePosition());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    command = control_.poll();
  }
  return command != EngineCommand::Stop;
}

double EncodeRun::FinishStreams() {
  for (auto& p : paths_)
    if (!p->DrainDecoder()) return 0;
  double end = 0;
  for (const auto& p : paths_) end = std::max(end, p->DecodedEnd());
  if (endSeconds_ > 0) end = std::min(end, endSeconds_);
  for (auto& p : paths_)
    if (!p->finish(end)) break;
  return end;
}

void EncodeRun::CheckOutput(double decodedEnd, bool reachedEof) const {
  long long decoded = 0, encoded = 0, damaged = 0;
  for (const auto& p : paths_) {
    decoded += p->DecodedFrames();
    encoded += p->EncodedPackets();
    damaged += p->DecodeErrors();
  }
  if (decoded == 0) {
    if (!readError_.empty())
      throw EngineError("cannot read '" + options_.source + "': " + readError_);
    throw EngineError("no audio or video could be decoded from '" + options_.source + "'");
  }
  if (encoded == 0) throw EngineError("nothing was encoded: the range lies outside the source");
  // Every stream must reach what was decoded: a short file is never a success.
  for (const auto& p : paths_) {
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
  if (!readError_.empty())
    Warn("reading '" + options_.source + "' stopped early: " + readError_ + " (" +
         std::to_string(readErrors_) + " read errors)");
  if (!reachedEof) return;
  // A header that promises more than the file holds: a cut-off download.
  // Streams that state their own length are judged by it (a sound track
  // may well end before the picture).
  double promised = 0;
  for (const auto& p : paths_) {
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

EncodeOutcome EncodeRun::run() {
  input_ = OpenSource(options_.source);
  origin_ = SourceStartTime(input_.get()) + options_.startSeconds;
  if (options_.end.kind == EndKind::Duration) endSeconds_ = options_.end.seconds;
  uint64_t sizeLimit = options_.end.kind == EndKind::Size ? options_.end.bytes : 0;
  output_ = std::make_unique<OutputFile>(options_.output, plan_.muxer, sizeLimit);

  int videoIndex = plan_.video ? FindVideoStream(input_.get()) : -1;
  int audioIndex = plan_.audio ? FindAudioStream(input_.get(), options_.aid) : -1;
  if (videoIndex < 0 && audioIndex < 0) {
    throw EngineError(plan_.video && !plan_.audio
                          ? "the source has no video stream to encode"
                          : "the source has no stream that this output can carry");
  }
  if (videoIndex >= 0) SetUpVideo(videoIndex);
  if (audioIndex >= 0) SetUpAudio(audioIndex);
  for (unsigned i = 0; i < input_->nb_streams; ++i)
    if (static_cast<int>(i) != videoIndex && static_cast<int>(i) != audioIndex)
      input_->streams[i]->discard = AVDISCARD_ALL;

  AVDictionary* muxerOptions = nullptr;
  if (plan_.muxer == "mp3") {
    // A bare MP3 stream: no ID3 tag, no Xing/LAME info frame.
    av_dict_set(&muxerOptions, "id3v2_version", "0", 0);
    av_dict_set(&muxerOptions, "write_xing", "0", 0);
  }
  output_->WriteHeader(&muxerOptions);
  av_dict_free(&muxerOptions);

  if (options_.startSeconds > 0) {
    auto target = static_cast<int64_t>(origin_ * AV_TIME_BASE);
    // Land on a keyframe at or before the start; decoded frames before it
    // are dropped by the graphs.
    if (avformat_seek_file(input_.get(), -1, INT64_MIN, target, target, 0) < 0)
      avformat_seek_file(input_.get(), -1, INT64_MIN, target, target, AVSEEK_FLAG_ANY);
  }

  position_.write(options_.startSeconds);
  PacketPtr packet = MakePacket();
  TimestampFixer timestamps(input_.get());
  bool stopped = false;
  bool reachedEof = false;
  for (;;) {
    if (!HonourControl()) {
      stopped = true;
      break;
    }
    int rc = av_read_frame(input_.get(), packet.get());
    if (rc == AVERROR(EAGAIN)) continue;
    if (rc == AVERROR_EOF || rc == AVERROR(EIO) || rc < 0) {
      // A damaged or cut-off file: like a player, keep what could be read.
      if (rc != AVERROR_EOF) {
        ++readErrors_;
        readError_ = AvErrorText(rc);
      }
      reachedEof = true;
      break;
    }
    timestamps.fix(packet.get());
    StreamPath* path = nullptr;
    for (auto& p : paths_)
      if (p->index() == packet->stream_index) path = p.get();
    bool ok = path ? path->send(packet.get()) : true;
    av_packet_unref(packet.get());
    if (!ok) break;  // size limit
    position_.MaybeWrite(SourcePosition());
    if (std::all_of(paths_.begin(), paths_.end(), [](const auto& p) { return p->PastEnd(); }))
      break;
  }
  double decodedEnd = sizeLimitHit_ ? 0 : FinishStreams();
  if (!stopped && !sizeLimitHit_) CheckOutput(decodedEnd, reachedEof);
  output_->finish();
  position_.write(SourcePosition());
  if (stopped) return EncodeOutcome::Stopped;
  return sizeLimitHit_ ? EncodeOutcome::SizeLimit : EncodeOutcome::Completed;
}

}  // namespace

EncodeOutcome RunEncode(const Options& options, const OutputPlan& plan) {
  EncodeRun run(options, plan);
  return run.run();
}

}  // namespace orv::engine
