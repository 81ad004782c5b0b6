// The output is written to a hidden temporary file beside the target and
// renamed over it only when complete, so a failed run never leaves a partial
// file and never damages an earlier output of the same name.
#pragma once

#include <cstdint>
#include <string>

#include "engine/av_support.h"

namespace orv::engine {

// "/dir/name.mp4" -> "/dir/.name.mp4.part-<pid>"; the name part is shortened
// so the whole file name stays within nameMax bytes.
std::string TempPathFor(const std::string& output, long pid, size_t nameMax);
// As above with the limit of the output's file system.
std::string TempPathFor(const std::string& output, long pid);

// Removes the current temporary file on SIGTERM, SIGINT, SIGHUP and on
// crashes, then ends the process.
void InstallCleanupHandlers();

class OutputFile {
 public:
  // sizeLimit 0 = unlimited.
  OutputFile(std::string finalPath, const std::string& muxer, uint64_t sizeLimit);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  AVFormatContext* context() const { return context_; }
  bool NeedsGlobalHeader() const;

  void WriteHeader(AVDictionary** muxerOptions);
  // Whether the packet still fits under the size limit, counting what the
  // trailer will need.
  bool fits(const AVPacket* packet) const;
  void write(AVPacket* packet);
  // Trailer, close, rename over the final path.
  void finish();
  // Close and delete the temporary file.
  void abandon();

 private:
  uint64_t ProjectedBytes(uint64_t extraPayload, uint64_t extraPackets) const;

  std::string finalPath_;
  std::string tempPath_;
  AVFormatContext* context_ = nullptr;
  uint64_t sizeLimit_ = 0;
  uint64_t headerBytes_ = 0;
  uint64_t payloadBytes_ = 0;
  uint64_t packets_ = 0;
  uint64_t perPacketOverhead_ = 0;
  uint64_t trailerReserve_ = 0;
  bool open_ = false;
  bool done_ = false;
};

}  // namespace orv::engine
