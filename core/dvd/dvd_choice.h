// The DVD Settings dialog without its widgets: the drives, the lists filled
// from an identification, the selection indexes and the result they give.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shared/records.h"

namespace orv {

inline constexpr const char* kNoDvdDrive = "No CD/DVD drive exists.";
inline constexpr const char* kDvdDialogCaption = "DVD Disc";
inline const std::vector<std::string> kDvdChannelModes = {"default", "stereo", "left channel",
                                                          "right channel"};

// What the dialog hands to the list on OK.
struct DvdResult {
  std::string driveText;  // "E:\", empty when there is no drive or none was chosen
  int title = 0;
  int firstChapter = 0;
  int lastChapter = 0;
  int audioStreamId = -1;
  int subtitle = -1;  // position in the list, not the id
  int audioChannel = 0;
};

// " dvd://1 -dvd-device E:\ " or " dvd://N -dvd-device E:\ ".
std::string DvdIdentifyArgs(int title, const std::string& driveRoot);

class DvdChoice {
 public:
  // Runs an identification with these arguments; returns the record read
  // back, or null when it failed or gave no duration.
  using Identify = std::function<const MediaInfo*(const std::string& args)>;

  DvdChoice(std::vector<std::string> driveRoots, Identify identify);

  // Opening: one drive is identified and chosen; with several nothing is.
  void Open();
  void ChooseDrive(int index);
  void ChooseTitle(int index);

  const std::vector<std::string>& drives() const { return drives_; }
  const std::vector<std::string>& titles() const { return titles_; }
  const std::vector<std::string>& chapters() const { return chapters_; }
  const std::vector<std::string>& subtitles() const { return subtitles_; }
  const std::vector<std::string>& audioStreams() const { return audio_; }

  // Selection indexes, -1 for none; the widgets write the user's picks here.
  int drive = -1, title = -1, firstChapter = -1, lastChapter = -1, subtitle = -1, audio = -1,
      channel = -1;

  DvdResult Result() const;

 private:
  void FillStreams(const MediaInfo& info);
  void FillChapters(const MediaInfo& info, int titleIndex);

  std::vector<std::string> drives_;
  Identify identify_;
  std::vector<std::string> titles_, chapters_, subtitles_, audio_;
  std::vector<int> audioIds_;
};

}  // namespace orv
