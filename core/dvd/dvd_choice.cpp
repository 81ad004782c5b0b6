#include "core/dvd/dvd_choice.h"

#include <cstring>

#include "core/link/identification.h"

namespace orv {
namespace {

// A fixed-size text of the record, up to its first zero byte.
template <std::size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

std::string DvdIdentifyArgs(int title, const std::string& driveRoot) {
  return DvdTitleArgs(title, driveRoot);
}

DvdChoice::DvdChoice(std::vector<std::string> driveRoots, Identify identify)
    : drives_(std::move(driveRoots)), identify_(std::move(identify)) {}

void DvdChoice::Open() {
  if (drives_.size() == 1) ChooseDrive(0);
  channel = 0;
}

void DvdChoice::FillChapters(const MediaInfo& info, int titleIndex) {
  chapters_.clear();
  const int count =
      titleIndex >= 0 && titleIndex < kMaxTitles ? std::max(0, info.chapterCounts[titleIndex]) : 0;
  for (int c = 1; c <= count && c <= 9999; ++c) chapters_.push_back(std::to_string(c));
  firstChapter = 0;
  lastChapter = static_cast<int>(chapters_.size()) - 1;
}

void DvdChoice::FillStreams(const MediaInfo& info) {
  subtitles_.clear();
  audio_.clear();
  audioIds_.clear();
  const int subs = CountStreamList(info.subtitleIds);
  for (int i = 0; i < subs; ++i)
    subtitles_.push_back(std::to_string(i) + ":" + Text(info.subtitleNames[i]));
  subtitles_.push_back("none");
  subtitle = 0;
  const int streams = CountStreamList(info.audioStreamIds);
  for (int i = 0; i < streams; ++i) {
    audio_.push_back(std::to_string(i) + ":" + Text(info.audioStreamNames[i]) + "(" +
                     Text(info.audioStreamLanguages[i]) + ")");
    audioIds_.push_back(info.audioStreamIds[i]);
  }
  audio_.push_back("none");
  audio = 0;
}

void DvdChoice::ChooseDrive(int index) {
  if (index < 0 || index >= static_cast<int>(drives_.size())) return;
  drive = index;
  const MediaInfo* info = identify_(DvdIdentifyArgs(1, drives_[static_cast<std::size_t>(index)]));
  if (!info) return;  // no disc or an unreadable one: the lists stay as they are
  titles_.clear();
  const int count = std::clamp(info->titleCount, 0, kMaxTitles);
  for (int t = 1; t <= count; ++t) titles_.push_back(std::to_string(t));
  title = 0;
  FillChapters(*info, 0);
  FillStreams(*info);
}

void DvdChoice::ChooseTitle(int index) {
  if (drive < 0 || index < 0 || index >= static_cast<int>(titles_.size())) return;
  title = index;
  const MediaInfo* info =
      identify_(DvdIdentifyArgs(index + 1, drives_[static_cast<std::size_t>(drive)]));
  if (!info) return;
  FillChapters(*info, index);
  FillStreams(*info);
}

DvdResult DvdChoice::Result() const {
  DvdResult r;
  if (drive >= 0 && drive < static_cast<int>(drives_.size()))
    r.driveText = drives_[static_cast<std::size_t>(drive)];
  r.title = title + 1;
  r.firstChapter = firstChapter + 1;
  r.lastChapter = lastChapter + 1;
  // The last entry of each stream list is "none".
  if (audio >= 0 && audio + 1 < static_cast<int>(audio_.size()))
    r.audioStreamId = audioIds_[static_cast<std::size_t>(audio)];
  if (subtitle >= 0 && subtitle + 1 < static_cast<int>(subtitles_.size())) r.subtitle = subtitle;
  r.audioChannel = channel;
  return r;
}

}  // namespace orv
