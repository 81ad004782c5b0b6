// The main window's side of the preview player: routing of the player's
// commands, the list click that loads the sliders, the sliders' messages, and
// what the player asks of the window.
#include <algorithm>

#include "gui/main_window.h"
#include "gui/main_window_ids.h"
#include "core/settings/source_list.h"
#include "gui/source_list_ctrl.h"
#include "platform/files.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "gui/preview/video_panel.h"
#include "gui/settings/settings_grid.h"
#include "core/settings/time_text.h"
#include "gui/skin/skin_button.h"

namespace orv {

SourceItem* MainWindow::SelectedItem() {
  const int row = list_->SelectedRow();
  if (row < 0 || row >= static_cast<int>(items_.size())) return nullptr;
  return items_[static_cast<std::size_t>(row)].get();
}

void MainWindow::Play() {
  setFocus(Qt::OtherFocusReason);
  // The engine that runs is the reader's: a Play would pause it.
  if (!RefuseWhileReading()) return;
  // A selection made without a click (the keyboard, a new list) has not
  // loaded its playback window yet.
  const int row = list_->SelectedRow();
  if (row >= 0 && row != lastSelectedRow_ && Activity() != EngineActivity::Converting)
    LoadPlaybackWindow(row);
  player_->Play(SelectedItem());
}

void MainWindow::PlayPrevious() { PlayNeighbour(-1); }
void MainWindow::PlayNext() { PlayNeighbour(+1); }

void MainWindow::PlayNeighbour(int step) {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileReading() || !ListGuard()) return;
  const int row = list_->SelectedRow();
  if (row < 0 || row >= static_cast<int>(items_.size())) {
    shell_.Message(kNoSelection, kMessageCaption);
    return;
  }
  // At the ends of the list the same item plays again.
  const int target = std::clamp(row + step, 0, static_cast<int>(items_.size()) - 1);
  list_->SelectRow(target);
  LoadPlaybackWindow(target);
  Play();
}

void MainWindow::LoadPlaybackWindow(int row) {
  if (Activity() == EngineActivity::Converting) return;
  if (row < 0 || row >= static_cast<int>(items_.size())) return;
  if (row != lastSelectedRow_ && Activity() == EngineActivity::Playing) {
    // The old item's engine must be gone before anything can play again;
    // waiting here keeps a quick Play from finding two engines.
    player_->StopPlaying();
  }
  lastSelectedRow_ = row;
  const SourceItem& item = *items_[static_cast<std::size_t>(row)];
  positionSlider_->SetRange(0.0, item.duration, false);
  positionSlider_->SetPos(item.clipStartSeconds);
  rangeSlider_->SetMinMax(0.0, item.duration);
  rangeSlider_->SetSelection(item.clipStartSeconds, item.clipEndSeconds);
  player_->playStart = item.clipStartSeconds;
  player_->playEnd = item.clipEndSeconds;
  player_->clipActive = item.clipEnabled;
}

void MainWindow::OnClipRangeChanged(int) {
  const EngineActivity activity = Activity();
  if (activity == EngineActivity::Converting) {
    shell_.Message(kConvertingRefusal, kMessageCaption);
    return;
  }
  if (activity == EngineActivity::Playing) StopPlaying();
  SourceItem* item = SelectedItem();
  if (!item) return;
  link_.WriteControl(EngineCommand::Stop);
  const double start = rangeSlider_->GetLeft(), end = rangeSlider_->GetRight();
  {
    std::lock_guard lock(batch_->itemsMutex());
    item->clipEnabled = 1;
    item->clipStartSeconds = start;
    item->clipEndSeconds = end;
    item->clipStartText = FormatTime(start);
    item->clipEndText = FormatTime(end);
  }
  list_->SetClipTexts(list_->SelectedRow(), item->clipStartText, item->clipEndText);
  gridRows_[kRowStart].value = item->clipStartText;
  gridRows_[kRowEnd].value = item->clipEndText;
  grid_->viewport()->update();
  player_->clipActive = 1;
  player_->playStart = start;
  player_->playEnd = end;
  positionSlider_->SetPos(start);
}

void MainWindow::OnPositionDragged(int, int) {}

void MainWindow::OnPositionReleased(int id, int) {
  if (id != ids::kPositionSlider) return;
  SeekToSliderPosition();
}

void MainWindow::SeekToSliderPosition() {
  if (Activity() == EngineActivity::Converting) return;
  SourceItem* item = SelectedItem();
  if (!item || !RefuseWhileReading()) return;
  StopPlaying();
  DeleteByName(link_.positionPath);  // retries a while by itself
  const double x = positionSlider_->GetPos();
  const double start = player_->SeekTarget(x, rangeSlider_->GetLeft(), rangeSlider_->GetRight(),
                                           positionSlider_->GetMax());
  positionSlider_->SetPos(start);
  player_->Play(item);
  previewView_->SetPlayFace(true);
}

}  // namespace orv
