// Pictures from the engine's player to the window, on every kind of desktop
// session: a block of shared memory (an anonymous memory file the window
// makes and hands to the engine as an inherited descriptor) with a header
// and a small ring of slots. The engine scales each picture to the panel's
// size in device pixels, writes it into the next slot as 32-bit BGRX and
// publishes its sequence number; the window copies the newest one out and
// paints it. Sound and the clock stay in the engine.
//
// Either side may be stale or hostile to the other's eyes: the engine checks
// the header against the size of what it mapped, the window checks a slot's
// picture against the slot's size, and a slot overwritten while it was being
// copied is noticed by its sequence number and dropped.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// The environment variable that tells the engine which descriptor carries
// the channel; the window always places it at kFrameChannelFd.
inline constexpr const char* kFrameFdVariable = "ORVANTIC_FRAME_FD";
inline constexpr int kFrameChannelFd = 3;
inline constexpr std::uint32_t kFrameMagic = 0x4f524646;  // "ORFF"
inline constexpr std::uint32_t kFrameVersion = 1;
inline constexpr int kFrameSlots = 3;
// The largest picture a slot holds (a 4K panel); bigger panels get a
// picture of this size, scaled up by the window.
inline constexpr int kFrameMaxWidth = 3840;
inline constexpr int kFrameMaxHeight = 2160;

struct FrameSlot {
  std::atomic<std::uint64_t> sequence;  // 0: never written
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t stride;  // bytes per row
  std::uint32_t reserved;
};

struct FrameHeader {
  std::uint32_t magic;
  std::uint32_t version;
  std::uint32_t slotCount;
  std::uint32_t slotBytes;
  std::uint32_t maxWidth;
  std::uint32_t maxHeight;
  // Written by the window: the panel's size in device pixels.
  std::atomic<std::uint32_t> panelWidth;
  std::atomic<std::uint32_t> panelHeight;
  // Written by the engine: the sequence number of the newest picture.
  std::atomic<std::uint64_t> published;
  FrameSlot ring[kFrameSlots];
};

// A picture copied out of the channel.
struct FramePicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * 4 bytes per row, BGRX
  std::uint64_t sequence = 0;
};

class FrameChannel {
 public:
  // The window's side: a new channel, or null with error set.
  static std::unique_ptr<FrameChannel> Create(std::string& error);
  // The engine's side: the channel on descriptor fd, checked; null with
  // error set when it is not one.
  static std::unique_ptr<FrameChannel> Attach(int fd, std::string& error);
  ~FrameChannel();
  FrameChannel(const FrameChannel&) = delete;
  FrameChannel& operator=(const FrameChannel&) = delete;

  int fd() const { return fd_; }

  // Window: forgets every picture (before a new engine starts).
  void Reset();
  // Window: the panel's size in device pixels.
  void SetPanelSize(int width, int height);
  // Window: copies the newest picture when it is newer than lastSeen.
  bool TakeNewest(std::uint64_t lastSeen, FramePicture& picture) const;

  // Engine: the panel's size as the window last gave it, bounded by the
  // slots' capacity (0 x 0 when not given yet).
  void PanelSize(int& width, int& height) const;
  // Engine: the slot the next picture goes into, with room for width x
  // height (both brought within the capacity); stride is its row length in
  // bytes.
  std::uint8_t* BeginPicture(int& width, int& height, int& stride);
  // Engine: makes the picture written since BeginPicture the newest.
  void Publish();

 private:
  FrameChannel(int fd, void* map, std::size_t size);
  std::uint8_t* SlotPixels(int slot) const;

  int fd_ = -1;
  void* map_ = nullptr;
  std::size_t size_ = 0;
  FrameHeader* header_ = nullptr;
  std::uint64_t writing_ = 0;  // engine: the sequence being written
};

// The size that fits a picture of display aspect `aspect` into a panel of
// panelWidth x panelHeight with the aspect kept (at least 1 x 1).
void FitPicture(double aspect, int panelWidth, int panelHeight, int& width, int& height);

}  // namespace orv
