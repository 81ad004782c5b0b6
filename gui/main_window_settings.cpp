// The main window's side of the settings grid and the profiles: filling the
// grid on a list click, the grid's posted messages, the profile combo box
// and the profile files.
#include <QComboBox>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "gui/main_window.h"
#include "core/settings/source_list.h"
#include "gui/source_list_ctrl.h"
#include "gui/strings.h"
#include "platform/text.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "core/settings/device_presets.h"
#include "core/settings/option_tables.h"
#include "core/settings/profile_file.h"
#include "gui/settings/settings_grid.h"
#include "core/settings/time_text.h"

namespace orv {

inline constexpr const char* kCustomizedProfileName = "Customized profile";

bool MainWindow::SettingsGuard() {
  if (Converting()) {
    shell_.Message(kConvertingRefusal, kMessageCaption);
    return false;
  }
  if (Activity() == EngineActivity::Playing) StopPlaying();
  return true;
}

void MainWindow::ShowRows(const ShownRows& rows) {
  grid_->ResetContent();
  for (int row : rows) grid_->AddRow(&gridRows_[static_cast<std::size_t>(row)]);
}

void MainWindow::ShowItemSettings(int row) {
  if (Activity() == EngineActivity::Converting) return;
  if (row < 0 || row >= static_cast<int>(items_.size())) return;
  LoadPlaybackWindow(row);
  const SourceItem& item = *items_[static_cast<std::size_t>(row)];
  profileCombo_->setCurrentIndex(item.profileIndex);
  if (auto shown =
          FillRowsFromItem(gridRows_, item, item.profileIndex, customProfile_[kRowFormat].value))
    ShowRows(*shown);
}

void MainWindow::ShowProfileResult(SourceItem& item) {
  item.outputPath = OutputBase(item.outputPath) + "." + item.outputFormat;
  const int row = list_->SelectedRow();
  if (row >= 0) list_->ShowItem(row, item);
}

void MainWindow::ApplyProfile() {
  if (!SettingsGuard()) return;
  SourceItem* item = SelectedItem();
  const int profile = profileCombo_->currentIndex();
  if (item && item->profileIndex == profile) return;
  if (item) item->profileIndex = profile;
  const double duration = item ? item->duration : 0.0;
  auto shown = ApplyProfileToRows(gridRows_, profile, item, duration, customProfile_);
  if (!shown) return;
  if (item) {
    rangeSlider_->SetSelection(0.0, duration);
    positionSlider_->SetPos(0.0);
  }
  player_->playStart = 0.0;
  player_->playEnd = duration;
  ShowRows(*shown);
  if (!item) return;
  {
    std::lock_guard lock(batch_->itemsMutex());
    ApplyProfileToItem(gridRows_, profile, *item, duration);
  }
  ShowProfileResult(*item);
}

void MainWindow::SaveProfileAs() {
  SaveThroughDialog(kProfileFilter, kProfileExtension, [this](const std::string& path) {
    std::string reason;
    SaveProfileFile(path, gridRows_, &reason);
    return reason;
  });
}

void MainWindow::LoadProfile() {
  setFocus(Qt::OtherFocusReason);
  if (!SettingsGuard()) return;
  FileDialogOptions options;
  options.filter = kProfileFilter;
  options.defaultExtension = kProfileExtension;
  // The device presets come first; any other profile is a folder away.
  std::error_code noFolder;
  if (const std::string presets = PresetFolder(installation_);
      std::filesystem::is_directory(presets, noFolder))
    options.startFolder = presets;
  const std::vector<std::string> files = shell_.OpenFiles(options);
  if (files.empty()) return;
  GridRows loaded;
  std::string error;
  switch (LoadProfileFile(files.front(), &loaded, &error)) {
    case ProfileLoad::OpenFailed:
      shell_.Message(kFileFailed, kMessageCaption);
      return;
    case ProfileLoad::Damaged:
      // Nothing of a damaged file is taken: the grid stays as it was.
      shell_.Message(error, kMessageCaption);
      return;
    case ProfileLoad::Ok:
      break;
  }
  gridRows_ = loaded;
  customProfile_ = loaded;
  SourceItem* item = SelectedItem();
  if (item) {
    {
      std::lock_guard lock(batch_->itemsMutex());
      item->outputFormat = gridRows_[kRowFormat].value;
      ApplyLoadedProfileToItem(gridRows_, *item);
    }
    ShowProfileResult(*item);
  }
  if (profileCombo_->count() > kCustomizedProfile) profileCombo_->removeItem(profileCombo_->count() - 1);
  profileCombo_->addItem(kCustomizedProfileName);
  profileCombo_->setCurrentIndex(profileCombo_->count() - 1);
  if (item) item->profileIndex = profileCombo_->currentIndex();
  if (auto shown = ShownRowsAfterLoad(gridRows_, customProfile_))
    ShowRows(*shown);
  else
    grid_->viewport()->update();
}

void MainWindow::OnGridPosted(int message) {
  switch (message) {
    case kMsgGridValueChanged:
      OnGridValueChanged();
      break;
    case kMsgGridOutputFormat:
      OnOutputFormatChanged();
      break;
    case kMsgGridClipReset:
      OnClipReset();
      break;
    case kMsgGridClipTimes:
      OnClipTimesEdited();
      break;
    default:
      break;
  }
}

void MainWindow::OnGridValueChanged() {
  if (!SettingsGuard()) return;
  SourceItem* item = SelectedItem();
  if (!item) return;
  std::lock_guard lock(batch_->itemsMutex());
  CopyRowsToItem(gridRows_, *item);
}

void MainWindow::OnOutputFormatChanged() {
  if (!SettingsGuard()) return;
  SourceItem* item = SelectedItem();
  if (!item) return;
  {
    std::lock_guard lock(batch_->itemsMutex());
    item->outputFormat = gridRows_[kRowFormat].value;
  }
  list_->SetFormatText(list_->SelectedRow(), item->outputFormat);
}

void MainWindow::OnClipTimesEdited() {
  if (!SettingsGuard()) return;
  player_->Halt();
  // Blanks around a typed time are no part of it.
  const std::string startText = TrimBlanks(gridRows_[kRowStart].value);
  const std::string endText = TrimBlanks(gridRows_[kRowEnd].value);
  if (startText.size() != 11) return;
  const double start = ReadFixedTimeText(startText), end = ReadFixedTimeText(endText);
  SourceItem* item = SelectedItem();
  if (!(start < end) || !item) return;
  player_->playStart = start;
  player_->playEnd = end;
  positionSlider_->SetPos(start);
  player_->clipActive = 1;
  rangeSlider_->SetSelection(start, end);
  {
    std::lock_guard lock(batch_->itemsMutex());
    item->clipEnabled = 1;
    item->clipStartSeconds = start;
    item->clipEndSeconds = end;
    // The texts the list shows are the item's own: a project saved now, or
    // the grid shown again, gives the times just typed.
    item->clipStartText = startText;
    item->clipEndText = endText;
  }
  list_->SetClipTexts(list_->SelectedRow(), startText, endText);
}

void MainWindow::OnClipReset() {
  if (!SettingsGuard()) return;
  SourceItem* item = SelectedItem();
  if (gridRows_[kRowClip].value != "no" || !item) return;
  const double duration = item->duration;
  player_->playStart = 0.0;
  player_->playEnd = duration;
  positionSlider_->SetPos(0.0);
  player_->clipActive = 0;
  rangeSlider_->SetSelection(0.0, duration);
  const std::string endText = FormatTime(duration);
  {
    std::lock_guard lock(batch_->itemsMutex());
    item->clipEnabled = 0;
    item->clipStartSeconds = 0.0;
    item->clipEndSeconds = duration;
    item->clipStartText = kZeroTime;
    item->clipEndText = endText;
  }
  list_->SetClipTexts(list_->SelectedRow(), kZeroTime, endText);
  gridRows_[kRowStart].value = kZeroTime;
  gridRows_[kRowEnd].value = endText;
  grid_->viewport()->update();
}

}  // namespace orv
