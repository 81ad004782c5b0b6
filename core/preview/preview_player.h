// The preview player: plays the selected item in the window's video panel by
// starting the engine in play mode and steering it through vctrl.dat. No
// widgets here; the window shows what the player asks through PlayerView.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "shared/frame_channel.h"
#include "platform/shell.h"
#include "core/settings/item_values.h"
#include "core/settings/source_item.h"
#include "core/link/engine_link.h"
#include "core/link/identification.h"

namespace orv {

inline constexpr const char* kStopConvertingFirst = "Please stop converting movies first!";
inline constexpr const char* kPlayerKilled = "The player did not stop when asked and was ended.";
inline constexpr int kPlayTimerMs = 41;
// How long Stop keeps asking before it ends the engine itself.
inline constexpr std::chrono::milliseconds kStopPatience{2000};
inline constexpr std::chrono::milliseconds kStopGiveUp{6000};
// A player that ends sooner than this, or before its first picture, failed.
inline constexpr std::chrono::milliseconds kPlayStartWindow{1000};
inline constexpr const char* kPlayFailed = "The video cannot be played: ";

// What the player needs from its window.
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  // The Play button's face: the pause face while running.
  virtual void SetPlayFace(bool running) = 0;
  virtual void SetPauseScreen(bool on) = 0;
  virtual void StartPlayTimer() = 0;
  virtual void StopPlayTimer() = 0;
  // The window id the play line names (the engine's -wid).
  virtual unsigned long PanelWindowId() = 0;
  // The panel shows the pictures published in channel (null: none).
  virtual void ShowPictures(FrameChannel* channel) = 0;
};

// The play command line, piece by piece: source, range, channel and volume
// groups, and the fixed tail with the panel's window id.
std::string BuildPlayCommand(const SourceItem& item, const ItemValues& values, double playStart,
                             double playEnd, unsigned long windowId, const std::string& enginePath,
                             const std::string& folder);
// " -af ..." groups of the play line ("" when both are the defaults).
std::string PlayAudioGroups(const ItemValues& values);
// "E:\" for "DVD_DRIVE_E".
std::string DvdRootOf(const std::string& sourcePath);

class Player {
 public:
  Player(EngineLink& link, Shell& shell, PlayerView& view,
         std::function<EngineActivity()> activity);

  // Pause/resume a playing engine, or start playing `selected` (may be null).
  void Play(const SourceItem* selected);
  void StopPlaying();
  // The stop of a clip edit: timer off, Play face back, the engine asked to
  // end until none is left (asked at least once, even when none plays).
  void Halt();
  // Timer 1: the engine has gone by itself.
  void OnPlayTimer();
  // A press in the title band while paused shows the pause screen.
  void OnTitleBandPressed();
  // Where a released position slider restarts playback: x, bounded by the
  // clip when one is active. Sets playStart and playEnd.
  double SeekTarget(double x, double clipStart, double clipEnd, double duration);

  bool EngineRunning() const;
  // playerStarted as queried: cleared when no engine is left.
  int PlayerStarted();

  double playStart = 0;
  double playEnd = 0;
  int clipActive = 0;
  bool playerRunning = false;
  std::string dvdRoot;

 private:
  void SetRunning(bool running);
  // The picture channel for the next engine, made on first use; null with
  // error set when the system refuses one.
  FrameChannel* Pictures(std::string& error);
  void Ended();

  EngineLink& link_;
  Shell& shell_;
  PlayerView& view_;
  std::function<EngineActivity()> activity_;
  int playerStarted_ = 0;
  int enginePid_ = -1;
  std::unique_ptr<FrameChannel> pictures_;
  // For telling why a Play ended before it showed anything.
  std::chrono::steady_clock::time_point startedAt_;
  bool showedPicture_ = false;
  bool watching_ = false;
};

}  // namespace orv
