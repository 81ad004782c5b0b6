#include "engine/encode/output_file.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv::engine {
namespace {

// The temporary file to remove if a signal ends the process. Written only
// outside signal context; read by the handler.
char g_tempPath[4096];
volatile sig_atomic_t g_haveTemp = 0;

void SetCleanupPath(const std::string& path) {
  g_haveTemp = 0;
  if (path.empty() || path.size() >= sizeof g_tempPath) return;
  std::memcpy(g_tempPath, path.c_str(), path.size() + 1);
  g_haveTemp = 1;
}

extern "C" void OnFatalSignal(int sig) {
  if (g_haveTemp) ::unlink(g_tempPath);
  if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) ::_exit(128 + sig);
  // Crashes: restore the default action so the real signal is reported.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

std::string TempPathFor(const std::string& output, long pid, size_t nameMax) {
  auto slash = output.rfind('/');
  std::string dir = slash == std::string::npos ? "" : output.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
  const std::string suffix = ".part-" + std::to_string(pid);
  if (1 + name.size() + suffix.size() > nameMax) {
    // A name near the file system's limit leaves no room for our marks:
    // shorten it, never inside a UTF-8 sequence.
    size_t keep = nameMax > suffix.size() + 1 ? nameMax - suffix.size() - 1 : 0;
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
      --keep;
    name.resize(std::min(keep, name.size()));
  }
  return dir + "." + name + suffix;
}

std::string TempPathFor(const std::string& output, long pid) {
  auto slash = output.rfind('/');
  std::string dir = slash == std::string::npos ? "." : output.substr(0, slash + 1);
  long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  return TempPathFor(output, pid, nameMax > 0 ? static_cast<size_t>(nameMax) : 255);
}

void InstallCleanupHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnFatalSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
    sigaction(sig, &sa, nullptr);
}

OutputFile::OutputFile(std::string finalPath, const std::string& muxer, uint64_t sizeLimit)
    : finalPath_(std::move(finalPath)),
      tempPath_(TempPathFor(finalPath_, ::getpid())),
      sizeLimit_(sizeLimit) {
  // A name the file system cannot hold fails now, not after the whole encode.
  const auto slash = finalPath_.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : finalPath_.substr(0, slash + 1);
  const std::size_t nameLength = finalPath_.size() - (slash == std::string::npos ? 0 : slash + 1);
  const long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && nameLength > static_cast<std::size_t>(nameMax))
    throw EngineError("cannot create '" + finalPath_ + "': " + std::strerror(ENAMETOOLONG));
  check(avformat_alloc_output_context2(&context_, nullptr, muxer.c_str(), tempPath_.c_str()),
        "cannot create " + muxer + " output");
  if (muxer == "mp4" || muxer == "mov") {
    // Sample tables in moov: sizes, chunk offsets, sync samples, timing.
    perPacketOverhead_ = 8 + 32;
    trailerReserve_ = 8192;
  } else if (muxer == "avi") {
    perPacketOverhead_ = 8 + 16;
    trailerReserve_ = 8192;
  }
}

OutputFile::~OutputFile() {
  if (!done_) abandon();
  avformat_free_context(context_);
}

bool OutputFile::NeedsGlobalHeader() const { return context_->oformat->flags & AVFMT_GLOBALHEADER; }

void OutputFile::WriteHeader(AVDictionary** muxerOptions) {
  SetCleanupPath(tempPath_);
  check(avio_open(&context_->pb, tempPath_.c_str(), AVIO_FLAG_WRITE),
        "cannot create '" + finalPath_ + "'");
  open_ = true;
  check(avformat_write_header(context_, muxerOptions), "cannot write the output header");
  avio_flush(context_->pb);
  headerBytes_ = static_cast<uint64_t>(avio_tell(context_->pb));
}

uint64_t OutputFile::ProjectedBytes(uint64_t extraPayload, uint64_t extraPackets) const {
  return headerBytes_ + payloadBytes_ + extraPayload +
         (packets_ + extraPackets) * perPacketOverhead_ + trailerReserve_;
}

bool OutputFile::fits(const AVPacket* packet) const {
  if (sizeLimit_ == 0) return true;
  return ProjectedBytes(static_cast<uint64_t>(packet->size), 1) <= sizeLimit_;
}

void OutputFile::write(AVPacket* packet) {
  payloadBytes_ += static_cast<uint64_t>(packet->size);
  ++packets_;
  check(av_interleaved_write_frame(context_, packet), "cannot write '" + finalPath_ + "'");
  // Write errors stay in the I/O context until someone looks: a full disk
  // should end the run now, not after the whole source is encoded.
  if (context_->pb && context_->pb->error < 0)
    check(context_->pb->error, "cannot write '" + finalPath_ + "'");
}

void OutputFile::finish() {
  check(av_write_trailer(context_), "cannot finish '" + finalPath_ + "'");
  int rc = avio_closep(&context_->pb);
  open_ = false;
  check(rc, "cannot finish '" + finalPath_ + "'");
  if (::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    ::unlink(tempPath_.c_str());
    SetCleanupPath("");
    throw EngineError("cannot rename the output to '" + finalPath_ + "': " + reason);
  }
  SetCleanupPath("");
  done_ = true;
}

void OutputFile::abandon() {
  if (open_) avio_closep(&context_->pb);
  open_ = false;
  ::unlink(tempPath_.c_str());
  SetCleanupPath("");
  done_ = true;
}

}  // namespace orv::engine
