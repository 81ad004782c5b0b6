// The main window's DVD command: the DVD Settings dialog, then the chosen
// title as a list item.
#include <QComboBox>
#include <QLineEdit>
#include <mutex>

#include "gui/main_window.h"
#include "gui/source_list_ctrl.h"
#include "gui/dvd/dvd_dialog.h"
#include "core/dvd/dvd_items.h"
#include "core/link/identification.h"
#include "platform/dvd_drives.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_list.h"

namespace orv {

std::vector<std::string> MainWindow::DvdDriveRoots() const {
  std::vector<std::string> roots;
  for (const DvdDrive& drive : ListDvdDrives(installation_.SettingsFilePath()))
    roots.push_back(drive.root);
  return roots;
}

void MainWindow::AddDvd() {
  setFocus(Qt::OtherFocusReason);
  // The DVD dialog identifies too: one engine at a time.
  if (!RefuseWhileReading() || !ListGuard()) return;
  outputFolderText_ = outputFolderEdit_->text().toStdString();
  if (outputFolderText_.empty()) {
    shell_.Message(kNoOutputFolder, kMessageCaption);
    return;
  }
  const int profile = profileCombo_->currentIndex();
  if (profile < 0 || profile > kCustomizedProfile) {
    shell_.Message(kNoProfile, kMessageCaption);
    return;
  }
  const std::string extension =
      profile == kCustomizedProfile ? gridRows_[kRowFormat].value : ProfileExtension(profile);

  const std::vector<std::string> roots = DvdDriveRoots();
  if (roots.empty()) {
    shell_.Message(kNoDvdDrive, kMessageCaption);
    return;
  }
  // The dialog identifies with its own link in the same working folder.
  EngineLink dialogLink(installation_, shell_);
  dialogLink.PrepareFolder(link_.folder);
  auto identify = [this, &dialogLink](const std::string& args) -> const MediaInfo* {
    const Identified answer = Identify(dialogLink, args, true);
    if (answer == Identified::EngineBusy) shell_.Message(kEngineBusyMessage, kMessageCaption);
    if (answer != Identified::Yes || !(dialogLink.Duration() > 0)) return nullptr;
    return dialogLink.mediaInfo.get();
  };
  DvdResult choice;
  {
    DvdDialog dialog(roots, identify, this);
    if (dvdDialogHook_) dvdDialogHook_(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    choice = dialog.Result();
  }
  if (choice.driveText.empty()) return;

  const std::string source = DvdSourceName(choice.driveText);
  const int removed = RemoveItemOf(items_, source);
  if (removed >= 0) {
    list_->removeRow(removed);
    list_->Renumber();
  }
  player_->dvdRoot = choice.driveText;
  // What the dialog's last identification left describes the chosen title.
  link_.PrepareFolder(link_.folder);
  if (!link_.ReadMediaInfo()) return;
  const ConversionSettings gridTexts = TextsOfRows(gridRows_);
  DvdItemContext context{outputFolderText_, profile, extension, &gridTexts};
  std::unique_ptr<SourceItem> item = MakeDvdItem(items_, choice, context, *link_.mediaInfo);
  if (!item) return;
  items_.push_back(std::move(item));
  list_->AppendRow(*items_.back());
}

}  // namespace orv
