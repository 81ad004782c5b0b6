// A stream path's two refusals: the decode side's frame turned away by a
// stop must not keep the encoder from giving up what it holds, while a sink
// that refuses its packets still ends both sides.
#include "engine/stages/stream_path.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "engine/stages/bounded_queue.h"

namespace {

using namespace orv::engine;
using namespace std::chrono_literals;

constexpr int kWidth = 64, kHeight = 48;
constexpr AVRational kFrameTime{1, 25};

struct ContextDeleter {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
using ContextPtr = std::unique_ptr<AVFormatContext, ContextDeleter>;

// Raw 4:2:0 pictures at 25 fps into a path whose encoder writes to a
// counting sink.
class StreamPathTest : public testing::Test {
 protected:
  void SetUp() override {
    AVStream* in = avformat_new_stream(input_.get(), nullptr);
    ASSERT_NE(in, nullptr);
    in->time_base = kFrameTime;
    in->avg_frame_rate = av_inv_q(kFrameTime);
    in->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    in->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    in->codecpar->format = AV_PIX_FMT_YUV420P;
    in->codecpar->width = kWidth;
    in->codecpar->height = kHeight;
    out_ = avformat_new_stream(output_.get(), nullptr);
    ASSERT_NE(out_, nullptr);
    out_->time_base = kFrameTime;
    path_ = std::make_unique<StreamPath>(in, 0, 0);
    path_->OpenDecoder();
    path_->ConfigureGraph("null");
  }

  // False when the encoder is not in this FFmpeg build.
  bool attach(const char* encoderName, bool sinkTakes) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return false;
    CodecPtr enc(avcodec_alloc_context3(codec));
    enc->width = kWidth;
    enc->height = kHeight;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->time_base = kFrameTime;
    enc->framerate = av_inv_q(kFrameTime);
    enc->thread_count = 1;
    EXPECT_GE(avcodec_open2(enc.get(), codec, nullptr), 0);
    path_->AttachEncoder(std::move(enc), out_, [this, sinkTakes](AVPacket*) {
      ++written_;
      return sinkTakes;
    });
    return true;
  }

  static PacketPtr picture(int n) {
    const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, kWidth, kHeight, 1);
    PacketPtr p = MakePacket();
    EXPECT_GE(av_new_packet(p.get(), size), 0);
    for (int i = 0; i < size; ++i) p->data[i] = static_cast<uint8_t>(n * 7 + i);
    p->pts = p->dts = n;
    p->duration = 1;
    return p;
  }

  ContextPtr input_{avformat_alloc_context()};
  ContextPtr output_{avformat_alloc_context()};
  AVStream* out_ = nullptr;
  std::unique_ptr<StreamPath> path_;
  std::atomic<int> written_{0};
};

// The usual early stop with libx264: the decode thread waits on a full
// frame queue, the encoder has taken frames but written nothing (lookahead),
// and the stop closes the queue. The encoder's flush must still write them.
TEST_F(StreamPathTest, StopRefusingTheDecodeSideStillLetsTheEncoderFlush) {
  if (!attach("libx264", true)) GTEST_SKIP() << "no libx264 in this FFmpeg";
  constexpr int kEncoded = 3;
  BoundedQueue<FramePtr> frames(2);
  // The handoff that cannot fit: the test takes no more than kEncoded.
  constexpr int kBlocked = kEncoded + 2 + 1;
  std::promise<void> blocked;
  int handed = 0;
  path_->SetFrameHandoff([&](AVFrame* frame) {
    if (++handed == kBlocked) blocked.set_value();
    FramePtr copy = MakeFrame();
    av_frame_move_ref(copy.get(), frame);
    return frames.push(std::move(copy));
  });
  std::atomic<bool> decodeRefused{false};
  std::thread decode([&] {
    for (int n = 0; n < 50; ++n) {
      if (!path_->send(picture(n).get())) {
        decodeRefused = true;
        return;
      }
    }
  });

  for (int i = 0; i < kEncoded; ++i) {
    auto frame = frames.pop();
    ASSERT_TRUE(frame.has_value());
    EXPECT_TRUE(path_->EncodeFrame(frame->get()));
  }
  ASSERT_EQ(path_->EncodedPackets(), 0) << "libx264 wrote before its lookahead filled";
  // A bound against a hang only; the frame it waits for cannot fit.
  EXPECT_EQ(blocked.get_future().wait_for(30s), std::future_status::ready);
  frames.CloseAndClear();  // what a stop does to the frame queue
  decode.join();
  EXPECT_TRUE(decodeRefused);

  EXPECT_TRUE(path_->EncodeFrame(nullptr));
  EXPECT_EQ(path_->EncodedPackets(), kEncoded);
  EXPECT_EQ(written_.load(), kEncoded);
}

// Without a handoff (the sound's path) a sink that refuses (size limit)
// ends decoding and encoding alike.
TEST_F(StreamPathTest, RefusingSinkEndsBothSidesWithoutAHandoff) {
  ASSERT_TRUE(attach("rawvideo", false));
  EXPECT_FALSE(path_->send(picture(0).get()));
  EXPECT_FALSE(path_->send(picture(1).get()));
  EXPECT_FALSE(path_->DrainDecoder());
  EXPECT_FALSE(path_->EncodeFrame(nullptr));
  EXPECT_EQ(path_->DecodedFrames(), 1);
  EXPECT_EQ(written_.load(), 1);
}

}  // namespace
