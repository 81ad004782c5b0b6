#include "gui/run_display.h"

#include <QCheckBox>
#include <QLabel>
#include <QUrl>

#include "core/convert/progress.h"
#include "core/convert/run_end.h"
#include "gui/gui_thread.h"
#include "gui/skin/gradient_progress.h"
#include "gui/source_list_ctrl.h"
#include "gui/strings.h"

namespace orv {

RunDisplay::RunDisplay(const Installation& installation, Shell& shell, const ItemList& items,
                       const RunControls& controls, std::function<std::string()> outputFolder,
                       QObject* parent)
    : QObject(parent),
      shell_(shell),
      items_(items),
      controls_(controls),
      outputFolder_(std::move(outputFolder)),
      progressLink_(installation, shell) {
  progressLink_.PrepareFolder(installation.programFolder);
  timer_.setInterval(kProgressPeriodMs);
  connect(&timer_, &QTimer::timeout, this, &RunDisplay::OnTick);
}

QString RunDisplay::EstimateShown() const { return controls_.estimate->text(); }

void RunDisplay::SelectRow(int index) {
  OnGuiThread([&] { controls_.list->SelectRow(index); });
}

void RunDisplay::MarkConverting(int index, bool converting) {
  OnGuiThread([&] { controls_.list->SetConverting(index, converting); });
}

void RunDisplay::StartProgressTimer() {
  OnGuiThread([&] {
    std::vector<double> seconds;
    for (const auto& item : items_) seconds.push_back(ItemWorkSeconds(*item));
    if (run_ && run_->Lanes() > 1)
      runProgress_ = std::make_unique<RunProgress>(seconds);
    else
      runProgress_.reset();
    estimate_ = std::make_unique<RunEstimate>(std::move(seconds));
    clock_.start();
    timer_.start();
  });
}

void RunDisplay::StopProgressTimer() {
  OnGuiThread([&] {
    timer_.stop();
    estimate_.reset();
    controls_.estimate->clear();
  });
}

void RunDisplay::SetProgress(int itemPercent, int listPercent) {
  OnGuiThread([&] {
    controls_.itemBar->SetPos(itemPercent);
    controls_.listBar->SetPos(listPercent);
  });
}

bool RunDisplay::AskOkCancel(const std::string& text, const std::string& caption) {
  return OnGuiThread([&] { return shell_.AskOkCancel(text, caption); });
}

void RunDisplay::Tell(const std::string& text) {
  OnGuiThread([&] {
    if (text.rfind(kCompleteMessage, 0) != 0 && text.rfind(kStoppedMessage, 0) != 0) {
      shell_.Message(text, kMessageCaption);
      return;
    }
    if (shell_.MessageOffering(text, kMessageCaption, kOpenOutputFolder))
      shell_.OpenUrl(
          QUrl::fromLocalFile(QString::fromStdString(outputFolder_())).toString().toStdString());
  });
}

bool RunDisplay::ShutDownWhenFinished() {
  return OnGuiThread([&] { return controls_.shutDown->isChecked(); });
}

bool RunDisplay::ConfirmPowerOff(const std::string& endText) {
  return OnGuiThread([&] { return shell_.CountDownToPowerOff(endText, kPowerOffCountdownSeconds); });
}

void RunDisplay::PowerOff() {
  OnGuiThread([&] { shell_.PowerOff(); });
}

void RunDisplay::RunStarted() {
  // Asked from the conversion thread: a slow bus holds the run, not the window.
  if (desktop_) sleepBlock_ = desktop_->BlockSleep(kSleepBlockReason);
}

void RunDisplay::RunEnded(const std::string& notice) {
  sleepBlock_.reset();
  if (!desktop_ || notice.empty()) return;
  OnGuiThread([&] { desktop_->NoticeRunEnd(notice, outputFolder_()); });
}

void RunDisplay::OnTick() {
  const int count = static_cast<int>(items_.size());
  if (count <= 0 || !run_) {
    timer_.stop();
    return;
  }
  if (runProgress_ && runProgress_->count() == count) return ShowRunProgress();
  const int current = run_->currentItemNumber;
  if (current < 1 || current > count) return;
  const double position = progressLink_.ReadPosition();
  if (estimate_ && estimate_->count() == count) {
    estimate_->Update(static_cast<double>(clock_.elapsed()) / 1000.0, current, position);
    controls_.estimate->setText(
        QString::fromStdString(EstimateText(current, count, estimate_->SecondsLeft())));
  }
  const ProgressUpdate update = ComputeProgress(*items_[current - 1], current, count, position);
  if (update.listPercent) controls_.listBar->SetPos(*update.listPercent);
  if (update.itemPercent) controls_.itemBar->SetPos(*update.itemPercent);
}

void RunDisplay::ShowRunProgress() {
  const RunProgressView view = runProgress_->Update(static_cast<double>(clock_.elapsed()) / 1000.0,
                                                    run_->Running(), run_->FinishedWork());
  if (view.first == 0) return;
  controls_.estimate->setText(QString::fromStdString(
      RangeEstimateText(view.first, view.last, runProgress_->count(), view.secondsLeft)));
  if (view.listPercent != 0) controls_.listBar->SetPos(view.listPercent);
  controls_.itemBar->SetPos(view.itemPercent);
}

}  // namespace orv
