// The main window of the converter: the skinned dialog with every control,
// its menus, and the routing of commands to the operations.
#pragma once

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "gui/preview/preview_view.h"
#include "gui/run_display.h"
#include "platform/desktop.h"
#include "platform/shell.h"
#include "core/settings/source_item.h"
#include "core/convert/batch_run.h"
#include "core/link/engine_link.h"
#include "platform/installation.h"
#include "core/preview/preview_player.h"
#include "core/settings/app_settings.h"
#include "core/settings/conversion_settings.h"
#include "core/settings/grid_rows.h"
#include "core/settings/source_list.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace orv {

class GradientProgress;
class PositionSlider;
class RangeSlider;
class SettingsGrid;
class DvdDialog;
class FileReading;
class SkinButton;
class SourceListCtrl;
class VideoPanel;

inline constexpr const char* kExitQuestion = "Exit anyway?";
inline constexpr const char* kExitCaption = "Video Batch Converter";
inline constexpr const char* kSkinMissing = "Not enough memory!";
inline constexpr int kWindowWidth = 720;
inline constexpr int kWindowHeight = 540;
inline constexpr int kTitleBandHeight = 22;

class MainWindow : public QDialog {
  Q_OBJECT
 public:
  MainWindow(const Installation& installation, AppSettings& settings, Shell& shell,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // A button press or menu command by id.
  void OnCommand(int id);
  // A message posted by the list's right-click menu.
  void OnPosted(int message);

  // Computed from the process list each time, never stored.
  EngineActivity Activity() const;

  void AddFiles();
  // Adds these files (and the supported files of these folders) as Add File
  // adds the files chosen in its dialog: command-line files and drops. The
  // files are read on a thread of their own and their rows come in order as
  // they are read; an Add during a reading queues its files behind it.
  void AddPaths(const std::vector<std::string>& paths);
  // Added files are still being read.
  bool Reading() const;
  FileReading* reading() const { return reading_; }
  void DeleteSelected();
  // False when refused (converting).
  bool ClearList();
  void SaveProject();
  void OpenProject();
  void ShowVideoInformation();
  // The DVD Settings dialog and the chosen title as a new item.
  void AddDvd();
  // Tests reach the modal DVD dialog through this before it runs.
  void SetDvdDialogHook(std::function<void(class DvdDialog&)> hook) {
    dvdDialogHook_ = std::move(hook);
  }
  void SetOutputFileName();
  void Convert();
  void StopConversion();
  void StopPlaying();
  void Play();
  void PlayPrevious();
  void PlayNext();
  Player& player() { return *player_; }
  // Settings grid and profiles.
  void ShowItemSettings(int row);
  void ApplyProfile();
  void SaveProfileAs();
  void LoadProfile();
  void OnGridValueChanged();
  void OnOutputFormatChanged();
  void OnClipTimesEdited();
  void OnClipReset();
  const GridRows& gridRows() const { return gridRows_; }
  const GridRows& customProfile() const { return customProfile_; }
  SettingsGrid* grid() const { return grid_; }
  void ChooseOutputFolder();
  void CommitOutputFolder();
  void RunOverwriteDialog();
  void Exit();

  // "Item 2 of 7 - about 4:07 left" while a run goes on, empty otherwise.
  QString EstimateShown() const { return runDisplay_->EstimateShown(); }

  // Where a run holds sleep off and tells its end; none by default.
  void SetDesktop(Desktop* desktop) { runDisplay_->SetDesktop(desktop); }

  // Exit ends the process through this; tests put their own in.
  void SetExitHook(std::function<void(int status)> hook) { exitHook_ = std::move(hook); }

  const ItemList& items() const { return items_; }
  QWidget* Control(int id) const { return controls_.value(id); }
  QMenu* PopupMenu(int buttonId) const { return menus_.value(buttonId); }
  SourceListCtrl* list() const { return list_; }
  BatchRun& batchRun() { return *batch_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void closeEvent(QCloseEvent*) override;
  void showEvent(QShowEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreateSliders();
  void CreateOutputControls();
  void CreateListAndGrid();
  void CreateButtons();
  void CreateMenus();
  void Place(QWidget* widget, int id, int left, int top, int right, int bottom);
  void PopUp(int buttonId);
  // Refuses with the message while converting, stops the player while playing.
  bool ListGuard();
  // The sliders and the player's window from the item in `row`.
  void LoadPlaybackWindow(int row);
  void OnGridPosted(int message);
  // Shows these rows in the grid, in order.
  void ShowRows(const ShownRows& rows);
  // After a profile changed the item's format: the output path's extension
  // and the item's list row.
  void ShowProfileResult(SourceItem& item);
  // Refuses with the message while converting, stops the player while
  // playing; true when the handler may go on.
  bool SettingsGuard();
  // A run is on: its thread is alive, between engines too.
  bool Converting() const;
  // Refuses with the message while a run is on; true when the handler may go on.
  bool RefuseWhileConverting();
  // Refuses with the message while added files are read; true when the
  // handler may go on.
  bool RefuseWhileReading();
  // One file of a reading has its answer: its row, or the engine-busy message.
  void OnFileRead(const std::string& path, const FileAnswer& answer, const AddContext& context);
  // Stops a run and waits for its thread, serving the calls it makes into
  // this window meanwhile; then the items may be dropped.
  void EndRun();
  void ChooseSimultaneous();
  void Minimise();
  void NewList();
  void OpenWebSite();
  void WriteToSupport();
  void ShowAbout();
  static const std::vector<std::pair<std::vector<int>, void (MainWindow::*)()>>& Routes();
  void OnClipRangeChanged(int wParam);
  void OnPositionDragged(int id, int position);
  void OnPositionReleased(int id, int position);
  void SeekToSliderPosition();
  // The item `step` rows away (kept within the list) is selected and played.
  void PlayNeighbour(int step);
  // The selected item, or null.
  SourceItem* SelectedItem();
  void ShowOutputPaths();
  // The save dialog, then save(path), which gives "" or the reason it failed;
  // "Project saved!", or "Failed!" with the file and the reason, after it.
  void SaveThroughDialog(const char* filter, const char* extension,
                         const std::function<std::string(const std::string&)>& save);
  std::vector<std::string> DvdDriveRoots() const;
  void OpenHelp();

  Installation installation_;
  AppSettings& settings_;
  Shell& shell_;
  ItemList items_;
  EngineLink link_;
  EngineLink batchLink_;     // the conversion thread's own link
  std::unique_ptr<BatchRun> batch_;
  std::string outputFolderText_;
  std::string currentExtension_;
  GridRows gridRows_;
  GridRows customProfile_;  // empty texts until a profile file is loaded
  RunDisplay* runDisplay_ = nullptr;
  std::unique_ptr<PreviewView> previewView_;
  std::unique_ptr<Player> player_;
  int lastSelectedRow_ = -1;

  QPixmap skin_;
  bool skinReported_ = false;
  QPoint dragOffset_;
  bool manualDrag_ = false;
  QLabel* estimateLabel_ = nullptr;
  std::function<void(int)> exitHook_;
  std::function<void(DvdDialog&)> dvdDialogHook_;

  QHash<int, QWidget*> controls_;
  QHash<int, QMenu*> menus_;
  SourceListCtrl* list_ = nullptr;
  PositionSlider* positionSlider_ = nullptr;
  RangeSlider* rangeSlider_ = nullptr;
  VideoPanel* videoPanel_ = nullptr;
  GradientProgress* itemProgress_ = nullptr;
  GradientProgress* listProgress_ = nullptr;
  QComboBox* profileCombo_ = nullptr;
  QLineEdit* outputFolderEdit_ = nullptr;
  QCheckBox* shutDown_ = nullptr;
  SettingsGrid* grid_ = nullptr;
  FileReading* reading_ = nullptr;
};

}  // namespace orv
