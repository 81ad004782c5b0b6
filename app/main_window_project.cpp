// The main window's project files and the video information dialog.
#include <mutex>

#include "app/main_window.h"
#include "app/source_list_ctrl.h"
#include "app/strings.h"
#include "platform/files.h"
#include "preview/video_info_dialog.h"
#include "settings/project_file.h"
#include "settings/source_list.h"

namespace orv {

void MainWindow::SaveThroughDialog(const char* filter, const char* extension,
                                   const std::function<bool(const std::string&)>& save) {
  setFocus(Qt::OtherFocusReason);
  FileDialogOptions options;
  options.filter = filter;
  options.defaultExtension = extension;
  const std::string path = shell_.SaveFile(options);
  if (path.empty()) return;
  shell_.Message(save(path) ? kFileSaved : kFileFailed, kMessageCaption);
}

void MainWindow::SaveProject() {
  SaveThroughDialog(kProjectSaveFilter, kProjectExtension, [this](const std::string& path) {
    // Saving is allowed during a run, which may be writing an item.
    std::lock_guard lock(batch_->itemsMutex());
    return SaveProjectFile(path, items_);
  });
}

void MainWindow::OpenProject() {
  setFocus(Qt::OtherFocusReason);
  FileDialogOptions options;
  options.filter = kProjectOpenFilter;
  options.defaultExtension = kProjectExtension;
  const std::vector<std::string> files = shell_.OpenFiles(options);
  if (files.empty()) return;
  if (!ClearList()) return;
  ProjectContents contents;
  const ProjectLoad result = LoadProjectFile(files.front(), &contents);
  if (result == ProjectLoad::OpenFailed) {
    shell_.Message(kFileFailed, kMessageCaption);
    return;
  }
  // Items whose source has gone are left out without a word; the rest come
  // back as stored, without being identified again.
  for (auto& item : contents.items) {
    if (!FileExists(item->sourcePath)) continue;
    items_.push_back(std::move(item));
    list_->AppendRow(*items_.back());
  }
  if (result == ProjectLoad::Damaged) shell_.Message(contents.error, kMessageCaption);
}

void MainWindow::ShowVideoInformation() {
  setFocus(Qt::OtherFocusReason);
  if (!ListGuard()) return;
  const SourceItem* item = SelectedItem();
  if (!item) return;
  VideoInfoDialog dialog(*item, this);
  dialog.exec();
}

}  // namespace orv
