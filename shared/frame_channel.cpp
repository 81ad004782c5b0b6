#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "shared/frame_channel.h"

namespace orv {
namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kHeaderBytes = (sizeof(FrameHeader) + kPage - 1) / kPage * kPage;
constexpr std::size_t kSlotBytes = std::size_t{kFrameMaxWidth} * kFrameMaxHeight * 4;
constexpr std::size_t kChannelBytes = kHeaderBytes + kSlotBytes * kFrameSlots;

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void* MapShared(int fd, std::size_t size) {
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return map == MAP_FAILED ? nullptr : map;
}

}  // namespace

FrameChannel::FrameChannel(int fd, void* map, std::size_t size)
    : fd_(fd), map_(map), size_(size), header_(static_cast<FrameHeader*>(map)) {}

FrameChannel::~FrameChannel() {
  if (map_) ::munmap(map_, size_);
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<FrameChannel> FrameChannel::Create(std::string& error) {
  // The pages are only taken as pictures are written: a small panel uses a
  // small part of the slots.
  const int fd = ::memfd_create("orvantic-frames", MFD_CLOEXEC);
  if (fd < 0) {
    error = SystemError("cannot make the picture channel");
    return nullptr;
  }
  if (::ftruncate(fd, static_cast<off_t>(kChannelBytes)) != 0) {
    error = SystemError("cannot size the picture channel");
    ::close(fd);
    return nullptr;
  }
  void* map = MapShared(fd, kChannelBytes);
  if (!map) {
    error = SystemError("cannot map the picture channel");
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<FrameChannel> channel(new FrameChannel(fd, map, kChannelBytes));
  FrameHeader& h = *channel->header_;
  h.magic = kFrameMagic;
  h.version = kFrameVersion;
  h.slotCount = kFrameSlots;
  h.slotBytes = static_cast<std::uint32_t>(kSlotBytes);
  h.maxWidth = kFrameMaxWidth;
  h.maxHeight = kFrameMaxHeight;
  channel->Reset();
  return channel;
}

std::unique_ptr<FrameChannel> FrameChannel::Attach(int fd, std::string& error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemError("the picture channel is not open");
    return nullptr;
  }
  if (static_cast<std::size_t>(st.st_size) != kChannelBytes) {
    error = "the picture channel has " + std::to_string(st.st_size) + " bytes, not " +
            std::to_string(kChannelBytes);
    return nullptr;
  }
  void* map = MapShared(fd, kChannelBytes);
  if (!map) {
    error = SystemError("cannot map the picture channel");
    return nullptr;
  }
  std::unique_ptr<FrameChannel> channel(new FrameChannel(fd, map, kChannelBytes));
  const FrameHeader& h = *channel->header_;
  if (h.magic != kFrameMagic || h.version != kFrameVersion || h.slotCount != kFrameSlots ||
      h.slotBytes != kSlotBytes || h.maxWidth != kFrameMaxWidth ||
      h.maxHeight != kFrameMaxHeight) {
    error = "the picture channel was made by another version of the program";
    return nullptr;
  }
  return channel;
}

std::uint8_t* FrameChannel::SlotPixels(int slot) const {
  return static_cast<std::uint8_t*>(map_) + kHeaderBytes + kSlotBytes * static_cast<std::size_t>(slot);
}

void FrameChannel::Reset() {
  header_->published.store(0, std::memory_order_release);
  for (FrameSlot& s : header_->ring) s.sequence.store(0, std::memory_order_release);
  writing_ = 0;
}

void FrameChannel::SetPanelSize(int width, int height) {
  header_->panelWidth.store(static_cast<std::uint32_t>(std::max(width, 0)), std::memory_order_relaxed);
  header_->panelHeight.store(static_cast<std::uint32_t>(std::max(height, 0)), std::memory_order_relaxed);
}

void FrameChannel::PanelSize(int& width, int& height) const {
  width = static_cast<int>(std::min<std::uint32_t>(header_->panelWidth.load(std::memory_order_relaxed),
                                                   kFrameMaxWidth));
  height = static_cast<int>(std::min<std::uint32_t>(
      header_->panelHeight.load(std::memory_order_relaxed), kFrameMaxHeight));
}

std::uint8_t* FrameChannel::BeginPicture(int& width, int& height, int& stride) {
  width = std::clamp(width, 1, kFrameMaxWidth);
  height = std::clamp(height, 1, kFrameMaxHeight);
  writing_ = std::max<std::uint64_t>(writing_, header_->published.load(std::memory_order_relaxed)) + 1;
  FrameSlot& slot = header_->ring[writing_ % kFrameSlots];
  // Marked as being written before a byte of it changes (a sequentially
  // consistent store: a full barrier, and no fence, which the thread
  // sanitizer cannot follow).
  slot.sequence.store(0, std::memory_order_seq_cst);
  slot.width = static_cast<std::uint32_t>(width);
  slot.height = static_cast<std::uint32_t>(height);
  slot.stride = static_cast<std::uint32_t>(width * 4);
  stride = width * 4;
  return SlotPixels(static_cast<int>(writing_ % kFrameSlots));
}

void FrameChannel::Publish() {
  if (writing_ == 0) return;
  header_->ring[writing_ % kFrameSlots].sequence.store(writing_, std::memory_order_release);
  header_->published.store(writing_, std::memory_order_release);
}

bool FrameChannel::TakeNewest(std::uint64_t lastSeen, FramePicture& picture) const {
  const std::uint64_t seq = header_->published.load(std::memory_order_acquire);
  if (seq == 0 || seq == lastSeen) return false;
  const int index = static_cast<int>(seq % kFrameSlots);
  const FrameSlot& slot = header_->ring[index];
  if (slot.sequence.load(std::memory_order_acquire) != seq) return false;
  const std::uint32_t w = slot.width, h = slot.height, stride = slot.stride;
  if (w == 0 || h == 0 || w > kFrameMaxWidth || h > kFrameMaxHeight || stride < w * 4 ||
      std::size_t{stride} * h > kSlotBytes)
    return false;
  picture.pixels.resize(std::size_t{w} * h * 4);
  const std::uint8_t* from = SlotPixels(index);
  for (std::uint32_t y = 0; y < h; ++y)
    std::memcpy(picture.pixels.data() + std::size_t{y} * w * 4, from + std::size_t{y} * stride, w * 4);
  // Overwritten while it was copied: this one is lost, a newer one follows.
  if (slot.sequence.load(std::memory_order_seq_cst) != seq) return false;
  picture.width = static_cast<int>(w);
  picture.height = static_cast<int>(h);
  picture.sequence = seq;
  return true;
}

void FitPicture(double aspect, int panelWidth, int panelHeight, int& width, int& height) {
  width = std::max(panelWidth, 1);
  height = std::max(panelHeight, 1);
  if (!(aspect > 0) || !std::isfinite(aspect)) return;
  if (width > height * aspect)
    width = static_cast<int>(std::lround(height * aspect));
  else
    height = static_cast<int>(std::lround(width / aspect));
  width = std::max(width, 1);
  height = std::max(height, 1);
}

}  // namespace orv
