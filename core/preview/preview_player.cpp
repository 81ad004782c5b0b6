#include "core/preview/preview_player.h"

#include <signal.h>

#include <cctype>

#include <thread>

#include "core/link/engine_stop.h"
#include "core/convert/encode_command.h"
#include "core/settings/item_values.h"
#include "core/settings/source_list.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "platform/text.h"
#include "core/settings/time_text.h"

namespace orv {

std::string DvdRootOf(const std::string& sourcePath) {
  // Only a drive letter makes a root: a stored path of any other shape must
  // not put its characters into the unquoted play line.
  if (sourcePath.empty() || !std::isalpha(static_cast<unsigned char>(sourcePath.back())))
    return std::string();
  return std::string(1, sourcePath.back()) + ":\\";
}

std::string PlayAudioGroups(const ItemValues& values) {
  std::string groups;
  const bool channel = values.channel != ChannelMode::Default;
  if (channel) groups += " -af " + ChannelFilter(values.channel);
  if (values.volume != VolumeKind::Default)
    groups += (channel ? "," : "  -af  ") + VolumeFilter(values);
  return groups;
}

std::string BuildPlayCommand(const SourceItem& item, const ItemValues& values, double playStart,
                             double playEnd, unsigned long windowId, const std::string& enginePath,
                             const std::string& folder) {
  std::string line = QuoteArg(enginePath);
  if (item.isDvdTitle == 0) {
    line += " " + QuoteArg(item.sourcePath) + " ";
  } else if (item.isDvdTitle == 1) {
    line += " -dvd-device  " + DvdRootOf(item.sourcePath) + " dvd://" +
            std::to_string(item.dvdTitle) + " -chapter " + std::to_string(item.dvdFirstChapter) +
            "-" + std::to_string(item.dvdLastChapter) + " ";
    if (item.dvdAudioStreamId != -1) line += " -aid " + std::to_string(item.dvdAudioStreamId) + " ";
    if (item.dvdSubtitleId != -1) line += " -sid " + std::to_string(item.dvdSubtitleId) + " ";
  } else {
    line += " vcd://2 -cdrom-device l:\\ ";
  }
  line += " -ss " + FormatFixed6(playStart) + " -endpos " + FormatFixed6(playEnd - playStart) + " ";
  line += PlayAudioGroups(values);
  line += " -framedrop -slave -wid " + std::to_string(windowId) +
          " -colorkey 0x000102 -keepaspect -priority abovenormal -ao dsound -vo directx  "
          "-currentfolder " +
          QuoteArg(folder) + " ";
  return line;
}

Player::Player(EngineLink& link, Shell& shell, PlayerView& view,
               std::function<EngineActivity()> activity)
    : link_(link), shell_(shell), view_(view), activity_(std::move(activity)) {}

bool Player::EngineRunning() const {
  return IsEngineRunning(link_.installation().EngineLocation());
}

int Player::PlayerStarted() {
  if (!EngineRunning()) playerStarted_ = 0;
  return playerStarted_;
}

void Player::SetRunning(bool running) {
  playerRunning = running;
  view_.SetPlayFace(running);
}

void Player::Play(const SourceItem* selected) {
  view_.SetPauseScreen(false);
  if (EngineRunning()) {
    if (activity_() == EngineActivity::Converting) {
      shell_.Message(kStopConvertingFirst);
      return;
    }
    view_.StartPlayTimer();
    link_.WriteControl(playerRunning ? EngineCommand::Pause : EngineCommand::Run);
    SetRunning(!playerRunning);
    return;
  }
  if (!selected) {
    shell_.Message(kNoSelection);
    return;
  }
  FieldProblem problem;
  const auto values = ParseItemValues(*selected, &problem);
  if (!values) {
    shell_.Message(problem.Text());
    return;
  }
  std::string error;
  FrameChannel* pictures = Pictures(error);
  if (!pictures) {
    shell_.Message(kPlayFailed + error);
    return;
  }
  link_.PrepareFolder(link_.folder);
  link_.WriteControl(EngineCommand::Run);
  clipActive = selected->clipEnabled;
  if (selected->isDvdTitle == 1) dvdRoot = DvdRootOf(selected->sourcePath);
  const std::string line = BuildPlayCommand(*selected, *values, playStart, playEnd, view_.PanelWindowId(),
                                            link_.installation().EngineLocation(), link_.folder);
  enginePid_ = -1;
  DeleteByName(link_.positionPath);
  pictures->Reset();
  view_.ShowPictures(pictures);
  LaunchResult result = link_.Launch(line, false, [this](int pid) { enginePid_ = pid; },
                                     link_.folder + kPlayLogFile, pictures->fd());
  if (!result.started) {
    view_.ShowPictures(nullptr);
    shell_.Message(std::string(kPlayFailed) + "the engine could not be started.");
    return;
  }
  startedAt_ = std::chrono::steady_clock::now();
  showedPicture_ = false;
  watching_ = true;
  playerStarted_ = 1;
  SetRunning(true);
  view_.StartPlayTimer();
}

FrameChannel* Player::Pictures(std::string& error) {
  if (!pictures_) pictures_ = FrameChannel::Create(error);
  return pictures_.get();
}

// Whatever ended the engine: the panel goes black and waits for the next.
void Player::Ended() {
  view_.SetPauseScreen(false);
  view_.ShowPictures(nullptr);
}

void Player::StopPlaying() {
  if (activity_() != EngineActivity::Playing) return;
  Halt();
}

void Player::Halt() {
  view_.StopPlayTimer();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  SetRunning(false);
  // An engine that does not listen must not hang the window: after a while
  // its process group is ended, and the user told once; one that cannot be
  // ended is given up on.
  const EngineStopOutcome outcome =
      StopEngines(link_, kStopPatience, kStopGiveUp, [this] { return enginePid_; });
  if (outcome.gaveUp)
    shell_.Message(kEngineNotEnded);
  else if (outcome.killed)
    shell_.Message(kPlayerKilled);
  playerStarted_ = 0;
  watching_ = false;  // stopped by the user: no failure to tell
  Ended();
}

void Player::OnPlayTimer() {
  if (EngineRunning()) {
    if (!showedPicture_ && link_.ReadPosition() >= 0) showedPicture_ = true;
    return;
  }
  SetRunning(false);
  view_.StopPlayTimer();
  Ended();
  // An engine that ended at once, or before its first picture, says why in
  // its messages: the user reads them rather than a Play button that only
  // flips back.
  if (!watching_) return;
  watching_ = false;
  const bool early = std::chrono::steady_clock::now() - startedAt_ < kPlayStartWindow;
  if (!early && showedPicture_) return;
  const std::string reason = LastEngineError(EngineLink::ReadLogTail(link_.folder + kPlayLogFile));
  if (!reason.empty()) shell_.Message(kPlayFailed + reason);
}

void Player::OnTitleBandPressed() {
  if (EngineRunning() && PlayerStarted() && !playerRunning) view_.SetPauseScreen(true);
}

double Player::SeekTarget(double x, double clipStart, double clipEnd, double duration) {
  double start = x;
  if (clipActive) {
    if (x < clipStart || x > clipEnd) start = clipStart;
    playEnd = clipEnd;
  } else {
    playEnd = duration;
  }
  playStart = start;
  return start;
}

}  // namespace orv
