// The DVD Settings dialog "DVD Disc": drive, title, chapter range, subtitle,
// audio stream and channel mode, filled by identifying the disc.
#pragma once

#include <QDialog>
#include <memory>

#include "core/dvd/dvd_choice.h"

class QComboBox;

namespace orv {

inline constexpr int kDvdDialogWidth = 380;
inline constexpr int kDvdDialogHeight = 290;

class DvdDialog : public QDialog {
  Q_OBJECT
 public:
  // Control ids of the lists, in the order drive, title, first and last
  // chapter, subtitle, audio stream, audio channel.
  static constexpr int kDriveList = 1037, kTitleList = 1038, kFirstChapterList = 1039,
                       kLastChapterList = 1040, kSubtitleList = 1041, kAudioList = 1042,
                       kChannelList = 1043;

  DvdDialog(std::vector<std::string> driveRoots, DvdChoice::Identify identify, QWidget* parent);

  const DvdChoice& choice() const { return *choice_; }
  QComboBox* List(int id) const;
  DvdResult Result() const { return choice_->Result(); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void OnDriveChosen(int index);
  void OnTitleChosen(int index);
  void ReadControls();
  void PushLists();
  void PushIndexes();
  void OnOk();

  std::unique_ptr<DvdChoice> choice_;
  QComboBox* drive_ = nullptr;
  QComboBox* title_ = nullptr;
  QComboBox* first_ = nullptr;
  QComboBox* last_ = nullptr;
  QComboBox* subtitle_ = nullptr;
  QComboBox* audio_ = nullptr;
  QComboBox* channel_ = nullptr;
};

}  // namespace orv
