// The output folder chooser: a modal folder tree with OK, Cancel and a
// status line that shows the selected folder, shortened to fit.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

class QLabel;
class QTreeView;
class QFileSystemModel;

namespace orv {

// Paths longer than this are shown by their tail.
inline constexpr std::size_t kStatusWidth = 55;

// The status-line text of a selected path.
std::string ShortenForStatus(const std::string& path);

class FolderChooser {
 public:
  FolderChooser(QWidget* owner, int titleStringId);
  FolderChooser(QWidget* owner, std::string title) : owner_(owner), title_(std::move(title)) {}

  // 5: only folders of the file system can be confirmed, with a status line.
  void SetFlags(uint32_t flags) {
    if (!open_) flags_ = flags;
  }
  void SetInitialFolder(const std::string& folder) { initialFolder_ = folder; }
  bool Run();
  const std::string& ChosenFolder() const { return chosenFolder_; }
  const std::string& Title() const { return title_; }

 private:
  QWidget* owner_;
  std::string title_;
  uint32_t flags_ = 5;
  std::string initialFolder_;
  std::string chosenFolder_;
  bool open_ = false;
};

// The dialog FolderChooser runs; public so tests can drive it.
class FolderChooserDialog : public QDialog {
  Q_OBJECT
 public:
  FolderChooserDialog(QWidget* owner, const QString& title, const QString& initialFolder);
  QString SelectedPath() const;
  QString StatusText() const;
  void Select(const QString& path);

 private:
  void SelectionChanged();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* status_;
};

}  // namespace orv
