// The main window's routing table and the operations it runs.
#include <algorithm>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>
#include <mutex>

#include "gui/main_window.h"
#include "gui/main_window_dialogs.h"
#include "gui/file_reading.h"
#include "core/list/file_arguments.h"
#include "gui/main_window_ids.h"
#include "core/settings/source_list.h"
#include "gui/source_list_ctrl.h"
#include "gui/strings.h"
#include "platform/process_list.h"
#include "gui/preview/position_slider.h"
#include "gui/preview/range_slider.h"
#include "gui/preview/video_panel.h"
#include "core/settings/option_tables.h"
#include "gui/skin/skin_button.h"

namespace orv {

// Each command id and what it does; several ids (a button and its menu
// entry) may share a route.
const std::vector<std::pair<std::vector<int>, void (MainWindow::*)()>>& MainWindow::Routes() {
  static const std::vector<std::pair<std::vector<int>, void (MainWindow::*)()>> routes = {
      {{ids::kExit, ids::kCmdExit}, &MainWindow::Exit},
      {{ids::kMinimise}, &MainWindow::Minimise},
      {{ids::kAdd, ids::kCmdAddFile}, &MainWindow::AddFiles},
      {{ids::kRemove, ids::kCmdDeleteSelected}, &MainWindow::DeleteSelected},
      {{ids::kClear, ids::kCmdNewProject, ids::kCmdClear}, &MainWindow::NewList},
      {{ids::kCmdSetOutputName}, &MainWindow::SetOutputFileName},
      {{ids::kConvert, ids::kCmdConvert}, &MainWindow::Convert},
      {{ids::kStop, ids::kCancel, ids::kCmdStopConversion}, &MainWindow::StopConversion},
      {{ids::kStopPlaying, ids::kCmdStopPlaying}, &MainWindow::StopPlaying},
      {{ids::kPlayPause, ids::kCmdPlay}, &MainWindow::Play},
      {{ids::kPlayPrevious}, &MainWindow::PlayPrevious},
      {{ids::kPlayNext}, &MainWindow::PlayNext},
      {{ids::kBrowse, ids::kCmdSetOutputPath}, &MainWindow::ChooseOutputFolder},
      {{ids::kCmdOverwrite}, &MainWindow::RunOverwriteDialog},
      {{ids::kCmdSimultaneous}, &MainWindow::ChooseSimultaneous},
      {{ids::kCmdHelp}, &MainWindow::OpenHelp},
      {{ids::kWebsite, ids::kCmdWebsite}, &MainWindow::OpenWebSite},
      {{ids::kCmdContact}, &MainWindow::WriteToSupport},
      {{ids::kDvd}, &MainWindow::AddDvd},
      {{ids::kCmdOpenProject}, &MainWindow::OpenProject},
      {{ids::kCmdSaveProject}, &MainWindow::SaveProject},
      {{ids::kCmdVideoInformation}, &MainWindow::ShowVideoInformation},
      {{ids::kSaveProfileAs}, &MainWindow::SaveProfileAs},
      {{ids::kCmdLoadProfile}, &MainWindow::LoadProfile},
      {{ids::kCmdAbout}, &MainWindow::ShowAbout},
  };
  return routes;
}

void MainWindow::OnCommand(int id) {
  // No button keeps the focus, or it would go on showing its pressed face.
  setFocus(Qt::OtherFocusReason);
  for (int menu : {ids::kFileMenu, ids::kEditMenu, ids::kSettingsMenu, ids::kPlayMenu,
                   ids::kConvertMenu, ids::kHelpMenu})
    if (id == menu) return PopUp(id);
  for (const auto& [commandIds, route] : Routes())
    if (std::find(commandIds.begin(), commandIds.end(), id) != commandIds.end())
      return (this->*route)();
}

void MainWindow::Minimise() { showMinimized(); }
void MainWindow::NewList() { ClearList(); }
void MainWindow::OpenWebSite() { shell_.OpenUrl(kWebSite); }
void MainWindow::WriteToSupport() { shell_.OpenUrl(kSupportMail); }
void MainWindow::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainWindow::OnPosted(int message) {
  switch (message) {
    case kMsgListStop:
      StopPlaying();
      break;
    case kMsgListPlay:
      Play();
      break;
    case kMsgListAddFile:
      AddFiles();
      break;
    case kMsgListClear:
      ClearList();
      break;
    case kMsgListSetOutputName:
      SetOutputFileName();
      break;
    case kMsgListDelete:
      DeleteSelected();
      break;
    case kMsgListDvdSettings:
      AddDvd();
      break;
    case kMsgListFileInformation:
      ShowVideoInformation();
      break;
    default:
      break;
  }
}

bool MainWindow::Converting() const {
  return batch_->ThreadRunning() || Activity() == EngineActivity::Converting;
}

bool MainWindow::ListGuard() {
  setFocus(Qt::OtherFocusReason);
  // Refused for the whole run: between two engines the conversion thread
  // still reads the items.
  if (Converting()) {
    shell_.Message(kConvertingRefusal, kMessageCaption);
    return false;
  }
  if (Activity() == EngineActivity::Playing) StopPlaying();
  return true;
}

void MainWindow::AddFiles() { AddPaths({}); }

void MainWindow::AddPaths(const std::vector<std::string>& given) {
  if (!ListGuard()) return;
  outputFolderText_ = outputFolderEdit_->text().toStdString();
  if (outputFolderText_.empty()) {
    shell_.Message(kNoOutputFolder, kMessageCaption);
    return;
  }
  const int profile = profileCombo_->currentIndex();
  if (profile < 0) {
    shell_.Message(kNoProfile, kMessageCaption);
    return;
  }
  currentExtension_ = profile == kCustomizedProfile ? gridRows_[kRowFormat].value
                                                   : ProfileExtension(profile);
  const ConversionSettings gridTexts = TextsOfRows(gridRows_);
  std::vector<std::string> paths;
  if (given.empty()) {
    FileDialogOptions options;
    options.filter = kAddFileFilter;
    options.multiSelect = true;
    paths = shell_.OpenFiles(options);
  } else {
    // Files given on the command line or dropped: folders give their files.
    paths = ExpandDroppedPaths(given);
  }
  // A file in the list already is left out silently, before any engine runs.
  std::erase_if(paths, [this](const std::string& path) { return IsListed(items_, path); });
  const AddContext context{outputFolderText_, profileCombo_->currentIndex(), currentExtension_,
                           &gridTexts};
  reading_->Read(paths, context);
}

void MainWindow::OnFileRead(const std::string& path, const FileAnswer& answer,
                            const AddContext& context) {
  AddContext now = context;
  // A folder chosen during the reading re-based the rows before; the rows
  // after it go there too.
  if (!outputFolderText_.empty()) now.outputFolder = outputFolderText_;
  const AddResult result = AddIdentifiedFile(items_, path, now, answer);
  if (result == AddResult::Added) list_->AppendRow(*items_.back());
  // The reader has dropped the files after this one.
  if (result == AddResult::EngineBusy) shell_.Message(kEngineBusyMessage, kMessageCaption);
}

bool MainWindow::RefuseWhileReading() {
  if (!Reading()) return true;
  shell_.Message(kReadingRefusal, kMessageCaption);
  return false;
}

void MainWindow::DeleteSelected() {
  if (!RefuseWhileReading() || !ListGuard()) return;
  const int row = list_->SelectedRow();
  if (row < 0) {
    shell_.Message(kNoSelection, kMessageCaption);
    return;
  }
  list_->removeRow(row);
  items_.erase(items_.begin() + row);
  list_->Renumber();
}

bool MainWindow::ClearList() {
  if (!RefuseWhileReading() || !ListGuard()) return false;
  items_.clear();
  list_->setRowCount(0);
  return true;
}

bool MainWindow::RefuseWhileConverting() {
  if (!Converting()) return true;
  shell_.Message(kConvertingRefusal, kMessageCaption);
  return false;
}

void MainWindow::SetOutputFileName() {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileConverting()) return;
  const int row = list_->SelectedRow();
  if (row < 0 || row >= static_cast<int>(items_.size())) return;
  StopPlaying();
  std::string name;
  if (!shell_.InputText("Set Output File Name", "Please input output file name:", &name)) return;
  SourceItem& item = *items_[row];
  item.outputPath = RenamedOutputPath(item.outputPath, name, item.outputFormat);
  list_->SetOutputText(row, item.outputPath);
}

void MainWindow::Convert() {
  setFocus(Qt::OtherFocusReason);
  // The list is not whole yet, and the engine is the reader's.
  if (!RefuseWhileReading()) return;
  if (Activity() == EngineActivity::Playing) StopPlaying();
  // A run already going is what a second run would find: a busy engine.
  batch_->SetJobs(JobsFor(settings_.simultaneous, std::thread::hardware_concurrency()));
  if (!batch_->Convert(settings_.overWriteType))
    shell_.Message(kEngineBusyMessage, kMessageCaption);
}

void MainWindow::StopConversion() {
  setFocus(Qt::OtherFocusReason);
  // Between two engines of a run too: the next one must not start.
  if (!Converting()) return;
  batch_->Stop();
}

void MainWindow::StopPlaying() { player_->StopPlaying(); }

void MainWindow::ChooseOutputFolder() {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileConverting()) return;
  // Nothing is selected at first; the tree shows where the output goes now.
  const QString output = QDir::cleanPath(QString::fromStdString(outputFolderText_));
  const std::string shown = QFileInfo(output).dir().absolutePath().toStdString();
  const std::string folder = shell_.ChooseFolderShowing(ResourceString(kStrFolderTitle), "",
                                                        outputFolderText_.empty() ? "" : shown);
  if (!folder.empty()) {
    outputFolderText_ = folder;
    settings_.SetOutputPath(outputFolderText_);
    WriteSettings(settings_, installation_.SettingsFilePath());
    RebaseOutputPaths(items_, outputFolderText_);
    ShowOutputPaths();
  }
  outputFolderEdit_->setText(QString::fromStdString(outputFolderText_));
}

void MainWindow::CommitOutputFolder() {
  // Taken while a run goes on too: the run reads each item under the lock and
  // checks every piece against the sources and what it has written.
  outputFolderText_ = outputFolderEdit_->text().toStdString();
  settings_.SetOutputPath(outputFolderText_);
  WriteSettings(settings_, installation_.SettingsFilePath());
  {
    std::lock_guard lock(batch_->itemsMutex());
    RebaseOutputPaths(items_, outputFolderText_);
  }
  ShowOutputPaths();
}

void MainWindow::ShowOutputPaths() {
  for (int row = 0; row < static_cast<int>(items_.size()) && row < list_->rowCount(); ++row)
    list_->SetOutputText(row, items_[row]->outputPath);
}

void MainWindow::RunOverwriteDialog() {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileConverting()) return;
  OverwriteDialog dialog(settings_.overWriteType, this);
  if (dialog.exec() != QDialog::Accepted) return;
  settings_.overWriteType = dialog.Choice();
  WriteSettings(settings_, installation_.SettingsFilePath());
}

void MainWindow::ChooseSimultaneous() {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileConverting()) return;
  const int automatic = JobsFor(0, std::thread::hardware_concurrency());
  std::string text = settings_.simultaneous == 0 ? "auto" : std::to_string(settings_.simultaneous);
  const std::string prompt = "Items converted at the same time, 1 to " +
                             std::to_string(kMaxSimultaneous) + ", or auto (" +
                             std::to_string(automatic) + " on this computer):";
  if (!shell_.InputText("Simultaneous conversions", prompt, &text)) return;
  const std::optional<int> value = ParseSimultaneous(text);
  if (!value) {
    shell_.Message("\"" + text + "\" is not a number of conversions from 1 to " +
                       std::to_string(kMaxSimultaneous) + " or auto.",
                   kMessageCaption);
    return;
  }
  settings_.simultaneous = *value;
  WriteSimultaneous(*value, installation_.SettingsFilePath());
}

void MainWindow::OpenHelp() {
  const std::string path = installation_.HelpFilePath();
  shell_.OpenUrl(QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString());
}

void MainWindow::Exit() {
  if (!shell_.AskOkCancel(kExitQuestion, kExitCaption)) return;
  // No engine is left converting as an orphan, nor playing, nor reading.
  reading_->Abort();
  EndRun();
  StopPlaying();
  items_.clear();
  list_->setRowCount(0);
  exitHook_(1);
}

}  // namespace orv
