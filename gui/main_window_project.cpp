// The main window's project files and the video information dialog.
#include <mutex>

#include "gui/main_window.h"
#include "gui/source_list_ctrl.h"
#include "gui/strings.h"
#include "platform/files.h"
#include "gui/preview/video_info_dialog.h"
#include "core/settings/project_file.h"
#include "core/settings/source_list.h"

namespace orv {

void MainWindow::SaveThroughDialog(const char* filter, const char* extension,
                                   const std::function<std::string(const std::string&)>& save) {
  setFocus(Qt::OtherFocusReason);
  FileDialogOptions options;
  options.filter = filter;
  options.defaultExtension = extension;
  const std::string path = shell_.SaveFile(options);
  if (path.empty()) return;
  const std::string reason = save(path);
  if (reason.empty())
    shell_.Message(kFileSaved, kMessageCaption);
  else
    shell_.Message(std::string(kFileFailed) + "\n\nCannot save " + path + ": " + reason,
                   kMessageCaption);
}

void MainWindow::SaveProject() {
  // Half a list would be saved as if it were the whole.
  if (!RefuseWhileReading()) return;
  SaveThroughDialog(kProjectSaveFilter, kProjectExtension, [this](const std::string& path) {
    std::string bytes;
    {
      // Saving is allowed during a run, which may be writing an item; the
      // run need not wait for the disk.
      std::lock_guard lock(batch_->itemsMutex());
      bytes = ProjectBytes(items_);
    }
    return WriteFileAtomically(path, bytes);
  });
}

void MainWindow::OpenProject() {
  setFocus(Qt::OtherFocusReason);
  if (!RefuseWhileReading()) return;
  FileDialogOptions options;
  options.filter = kProjectOpenFilter;
  options.defaultExtension = kProjectExtension;
  const std::vector<std::string> files = shell_.OpenFiles(options);
  if (files.empty()) return;
  // The file is read before the list goes: one that cannot be read leaves
  // the list as it was.
  const std::vector<std::string> roots = DvdDriveRoots();
  ProjectContents contents;
  const ProjectLoad result = LoadProjectFile(files.front(), &contents, [&](const SourceItem& item) {
    return SourceUnavailable(item, roots);
  });
  if (result == ProjectLoad::OpenFailed) {
    shell_.Message(std::string(kFileFailed) + "\n\n" + contents.error, kMessageCaption);
    return;
  }
  if (!ClearList()) return;
  // Items come back as stored, without being identified again.
  for (auto& item : contents.items) {
    items_.push_back(std::move(item));
    list_->AppendRow(*items_.back());
  }
  std::string message = result == ProjectLoad::Damaged ? contents.error : "";
  if (!contents.leftOut.empty()) {
    if (!message.empty()) message += "\n\n";
    message += "Some items of " + files.front() + " were left out:";
    for (const std::string& line : contents.leftOut) message += "\n" + line;
  }
  if (!message.empty()) shell_.Message(message, kMessageCaption);
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
