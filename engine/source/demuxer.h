// The demux stage: one thread reads the source's packets, keeps their
// timestamps continuous and hands each to the queue of its stream. It holds
// while the run is paused and ends on a stop, at the end of the input, or
// once every stream is past the wanted range.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "engine/av_support.h"
#include "engine/control/run_control.h"
#include "engine/stages/bounded_queue.h"

namespace orv::engine {

using PacketQueue = BoundedQueue<PacketPtr>;

class Demuxer {
 public:
  Demuxer(AVFormatContext* input, RunControl& control);
  ~Demuxer();

  // Packets of streamIndex go to queue; other streams are dropped.
  void route(int streamIndex, PacketQueue* queue) { routes_[streamIndex] = queue; }
  // Packets of the stream whose id (AVStream::id) is streamId go to tap on
  // this thread, whenever that stream turns up (MPEG-PS streams appear as
  // their first packet is read).
  void tap(int streamId, std::function<void(const AVPacket*, AVRational)> tap) {
    tapId_ = streamId;
    tap_ = std::move(tap);
  }
  // Reading ends once done() says so (checked before each packet).
  void SetDone(std::function<bool()> done) { done_ = std::move(done); }

  void start();
  void join();
  // Ends reading at once and drops queued packets; the streams then finish.
  // Safe from any thread.
  void StopReading();

  // After join(): how the input ended.
  bool ReachedEnd() const { return reachedEnd_; }
  int ReadErrors() const { return readErrors_; }
  const std::string& ReadError() const { return readError_; }

 private:
  void run();
  void CloseQueues(bool clear);

  AVFormatContext* input_;
  RunControl& control_;
  std::map<int, PacketQueue*> routes_;
  std::function<bool()> done_;
  int tapId_ = -1;
  std::function<void(const AVPacket*, AVRational)> tap_;
  std::thread thread_;
  std::atomic<bool> stopReading_{false};
  bool reachedEnd_ = false;
  int readErrors_ = 0;
  std::string readError_;
};

}  // namespace orv::engine
