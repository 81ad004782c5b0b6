// The window's side of a conversion run: the two bars, the time-left line,
// the converting rows, the run's questions and end text, the power-off, and
// the desktop's sleep block and end notice. The run calls it from its own
// thread; every widget is touched on the GUI thread.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "core/convert/batch_run.h"
#include "core/convert/eta.h"
#include "core/convert/run_progress.h"
#include "core/link/engine_link.h"
#include "core/settings/source_item.h"
#include "platform/desktop.h"
#include "platform/installation.h"
#include "platform/shell.h"

class QCheckBox;
class QLabel;

namespace orv {

class GradientProgress;
class SourceListCtrl;

// The end message's button that opens the output folder.
inline constexpr const char* kOpenOutputFolder = "Open Output Folder";
inline constexpr int kProgressPeriodMs = 50;

// The window's controls a run shows itself in.
struct RunControls {
  SourceListCtrl* list = nullptr;
  GradientProgress* itemBar = nullptr;
  GradientProgress* listBar = nullptr;
  QLabel* estimate = nullptr;
  QCheckBox* shutDown = nullptr;
};

class RunDisplay : public QObject, public BatchHost {
 public:
  // outputFolder gives the folder the end text offers to open.
  RunDisplay(const Installation& installation, Shell& shell, const ItemList& items,
             const RunControls& controls, std::function<std::string()> outputFolder,
             QObject* parent);

  // The run shown; set once, before it starts.
  void Attach(const BatchRun& run) { run_ = &run; }
  // Where a run holds sleep off and tells its end; none by default.
  void SetDesktop(Desktop* desktop) { desktop_ = desktop; }
  // "Item 2 of 7 - about 4:07 left" while a run goes on, empty otherwise.
  QString EstimateShown() const;

  // BatchHost, called on the conversion thread.
  void SelectRow(int index) override;
  void StartProgressTimer() override;
  void StopProgressTimer() override;
  void SetProgress(int itemPercent, int listPercent) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  // The end of a run offers to open the output folder.
  void Tell(const std::string& text) override;
  bool ShutDownWhenFinished() override;
  void MarkConverting(int index, bool converting) override;
  bool ConfirmPowerOff(const std::string& endText) override;
  void PowerOff() override;
  void RunStarted() override;
  void RunEnded(const std::string& notice) override;

 private:
  void OnTick();
  // Several items at once: the item bar follows the one that started first,
  // the list bar and the time left the whole run.
  void ShowRunProgress();

  Shell& shell_;
  const ItemList& items_;
  RunControls controls_;
  std::function<std::string()> outputFolder_;
  const BatchRun* run_ = nullptr;
  Desktop* desktop_ = nullptr;
  // Taken and dropped on the conversion thread only.
  std::unique_ptr<SleepBlock> sleepBlock_;
  EngineLink progressLink_;  // the GUI thread's own reader of the position
  QTimer timer_;
  QElapsedTimer clock_;
  std::unique_ptr<RunEstimate> estimate_;     // of the run going on
  std::unique_ptr<RunProgress> runProgress_;  // of a run of several at once
};

}  // namespace orv
