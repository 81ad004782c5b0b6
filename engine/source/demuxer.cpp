#include "engine/source/demuxer.h"

#include <pthread.h>

#include "engine/source/timestamp_fixer.h"

namespace orv::engine {

Demuxer::Demuxer(AVFormatContext* input, RunControl& control) : input_(input), control_(control) {}

Demuxer::~Demuxer() {
  StopReading();
  join();
}

void Demuxer::start() {
  for (unsigned i = 0; i < input_->nb_streams; ++i)
    if (!routes_.count(static_cast<int>(i)) && !(tap_ && input_->streams[i]->id == tapId_))
      input_->streams[i]->discard = AVDISCARD_ALL;
  thread_ = std::thread([this] {
    pthread_setname_np(pthread_self(), "demux");
    run();
  });
}

void Demuxer::join() {
  if (thread_.joinable()) thread_.join();
}

void Demuxer::StopReading() {
  stopReading_ = true;
  CloseQueues(true);
}

void Demuxer::CloseQueues(bool clear) {
  for (auto& [index, queue] : routes_) clear ? queue->CloseAndClear() : queue->close();
}

void Demuxer::run() {
  TimestampFixer timestamps(input_);
  PacketPtr packet = MakePacket();
  for (;;) {
    if (stopReading_ || !control_.WaitWhilePaused()) break;
    if (done_ && done_()) break;
    int rc = av_read_frame(input_, packet.get());
    if (rc == AVERROR(EAGAIN)) continue;
    if (rc < 0) {
      // A damaged or cut-off file ends here; like a player, keep what was read.
      if (rc != AVERROR_EOF) {
        ++readErrors_;
        readError_ = AvErrorText(rc);
      }
      reachedEnd_ = true;
      break;
    }
    timestamps.fix(packet.get());
    const AVStream* stream = input_->streams[packet->stream_index];
    if (tap_ && stream->id == tapId_) tap_(packet.get(), stream->time_base);
    auto route = routes_.find(packet->stream_index);
    if (route == routes_.end()) {
      av_packet_unref(packet.get());
      continue;
    }
    PacketPtr item = MakePacket();
    av_packet_move_ref(item.get(), packet.get());
    if (!route->second->push(std::move(item))) break;
  }
  CloseQueues(false);
}

}  // namespace orv::engine
