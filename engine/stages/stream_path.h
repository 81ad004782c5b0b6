// One source stream's way to the output: decoder -> filter graph -> encoder,
// or decoder -> filter graph -> a frame handoff (to an encoder on another
// thread, or to a presenter). Decoding and filtering run on one thread; with
// a handoff, encoding may run on a second one.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "engine/av_support.h"

struct AVAudioFifo;

namespace orv::engine {

// Whether a video decoder's pictures are so quick to decode that one thread
// keeps ahead of every encoder (codec and picture size as opened).
bool CheapToDecode(const AVCodecContext* decoder);

class StreamPath {
 public:
  // Receives each encoded packet in the output stream's time base. Returns
  // false when the packet must not be written (size limit reached).
  using PacketSink = std::function<bool(AVPacket*)>;

  // originSeconds: source time that becomes output time 0. endSeconds > 0:
  // output length after which frames are no longer needed.
  StreamPath(AVStream* input, double originSeconds, double endSeconds);

  AVMediaType type() const { return input_->codecpar->codec_type; }
  int index() const { return input_->index; }
  AVCodecContext* decoder() const { return decoder_.get(); }

  // threads > 0: at most that many decoding threads.
  void OpenDecoder(int threads = 0);
  // The display aspect the source's tables give (a DVD title's), in place
  // of what the video stream says. Call before ConfigureGraph.
  void SetDisplayAspect(AVRational aspect) { displayAspect_ = aspect; }
  // Called with each decoded picture and its source time in seconds before
  // it is filtered (subtitles burnt in there scale with the picture).
  void SetFrameOverlay(std::function<void(AVFrame*, double)> overlay) {
    overlay_ = std::move(overlay);
  }
  // Builds the graph from the decoder's output format to description.
  void ConfigureGraph(const std::string& description);
  // The audio graph for sound of `channels` channels whose output continues
  // at firstPts (counted in samples at the sound's own rate).
  using AudioGraphMaker = std::function<std::string(int channels, long long firstPts)>;
  // Audio: builds the graph from maker, and again, for the new input and with
  // the same output, whenever the decoded sound changes its rate, sample
  // format or channel layout (a broadcast going from 5.1 to stereo).
  void ConfigureAudioGraph(AudioGraphMaker maker);
  // Video: the graph whose output starts at firstSeconds, built again for
  // the new input when the pictures change their size or pixel format; the
  // output keeps the size it had.
  using VideoGraphMaker = std::function<std::string(double firstSeconds)>;
  void ConfigureVideoGraph(VideoGraphMaker maker);
  AVFilterContext* sink() const { return sink_; }
  // After the graph: the encoder and the output stream it feeds.
  void AttachEncoder(CodecPtr encoder, AVStream* output, PacketSink sink);
  // Filtered frames go to handoff instead of the encoder; it returns false to
  // refuse further frames. Encoding then happens through EncodeFrame().
  void SetFrameHandoff(std::function<bool(AVFrame*)> handoff) { handoff_ = std::move(handoff); }
  // Encodes one filtered frame (nullptr: flush). False once the sink refused;
  // a refused handoff does not count, so a stop can still flush the encoder.
  bool EncodeFrame(AVFrame* frame) { return encode(frame); }

  // Decode one packet and push everything it yields through to the sink.
  // Returns false once a frame was refused (by the handoff, or without one
  // because the sink refused a packet).
  bool send(const AVPacket* packet);
  // Drains the decoder. Call on every path before finish() so each knows
  // how far the source's decoded streams reach.
  bool DrainDecoder();
  // Ends the stream at endSeconds (output-relative; <= 0: at its own end):
  // video holds its last picture up to there, audio is filled with silence.
  // Then drains graph and encoder. Returns false if the sink refused.
  bool finish(double endSeconds);

  // Output-relative seconds of the newest decoded frame (may be negative
  // while decoding up to a seek target).
  double position() const { return position_.load(); }
  bool PastEnd() const { return pastEnd_.load(); }
  // Output-relative end of everything decoded so far (end of the last frame).
  double DecodedEnd() const;
  // Output seconds handed to the encoder (video: whole frames at the output
  // rate; audio: samples).
  double EncodedEnd() const { return encodedEnd_; }
  long long DecodedFrames() const { return decodedFrames_; }
  long long DecodeErrors() const { return decodeErrors_; }
  long long EncodedPackets() const { return encodedPackets_; }

 private:
  bool ReceiveFrames();
  bool PushFrame(AVFrame* frame);
  bool PullFiltered();
  bool encode(AVFrame* frame);
  bool EncodeWholeFrames(AVFrame* frame);
  bool SendToEncoder(AVFrame* frame);
  std::string SourceArgs(const AVFrame* like) const;
  void BuildGraph(const std::string& description, const AVFrame* like);
  std::string InputShape(const AVFrame* like) const;
  bool FollowInputChange(AVFrame* frame);
  bool PadWithSilence(int64_t untilTs);
  AVRational PixelAspect(int width, int height, AVRational stated) const;

  AVStream* input_;
  double endSeconds_;
  int64_t originTs_;
  int64_t nextTs_ = AV_NOPTS_VALUE;
  int64_t endTs_ = AV_NOPTS_VALUE;  // furthest frame end seen
  int64_t nextAudioPts_ = 0;
  CodecPtr decoder_;
  GraphPtr graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  std::string inputShape_;  // the input format the graph was built for
  AudioGraphMaker audioGraphMaker_;
  VideoGraphMaker videoGraphMaker_;
  long long nextSinkPts_ = 0;    // audio: the output sample after the last filtered one
  double nextVideoSeconds_ = 0;  // video: where the frame after the last filtered one starts
  struct FifoDeleter {
    void operator()(AVAudioFifo* fifo) const;
  };
  // Fixed-frame encoders (AAC, MP3) take exactly frame_size samples, which a
  // graph that is rebuilt in mid-stream cannot promise at its end.
  std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
  CodecPtr encoder_;
  AVStream* output_ = nullptr;
  AVRational encoderInputTb_{1, 1};  // the sink's time base when the encoder was attached
  PacketSink packetSink_;
  std::function<bool(AVFrame*)> handoff_;
  std::function<void(AVFrame*, double)> overlay_;
  AVRational displayAspect_{0, 1};
  FramePtr frame_ = MakeFrame();
  FramePtr filtered_ = MakeFrame();
  PacketPtr packet_ = MakePacket();
  std::atomic<double> position_{0};
  double encodedEnd_ = 0;
  std::atomic<bool> pastEnd_{false};
  // One refusal per side: with a handoff, decoding and encoding run on
  // different threads, and a frame the handoff turned away (a stop closed
  // its queue) must not keep the encoder from its flush.
  bool framesRefused_ = false;   // decoding side: no more frames are taken
  bool packetsRefused_ = false;  // encoding side: the sink took no more packets
  bool decoderFlushed_ = false;
  long long decodedFrames_ = 0;
  long long decodeErrors_ = 0;
  long long encodedPackets_ = 0;
};

}  // namespace orv::engine
