// The video information dialog: where the selected item comes from, where
// its output goes, its length and its clip, painted on a light-blue card.
#pragma once

#include <QDialog>
#include <vector>

#include "core/preview/video_info.h"

class QPushButton;

namespace orv {

inline constexpr int kVideoInfoWidth = 520;
inline constexpr int kVideoInfoHeight = 350;
inline constexpr int kVideoInfoMargin = 10;

class VideoInfoDialog : public QDialog {
  Q_OBJECT
 public:
  VideoInfoDialog(const SourceItem& item, QWidget* parent);
  const std::vector<VideoInfoRow>& rows() const { return rows_; }
  QPushButton* okButton() const { return ok_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<VideoInfoRow> rows_;
  QPushButton* ok_ = nullptr;
};

}  // namespace orv
