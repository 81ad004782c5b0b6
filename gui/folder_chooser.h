// The output folder chooser: a modal folder tree with OK, Cancel, New Folder,
// a path field, and a status line that shows the selected folder, shortened
// to fit. It opens with nothing selected (OK waits for a choice), showing a
// given folder.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class QVBoxLayout;
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
  // Expanded and scrolled to when the chooser opens, not selected.
  void SetShownFolder(const std::string& folder) { shownFolder_ = folder; }
  bool Run();
  const std::string& ChosenFolder() const { return chosenFolder_; }
  const std::string& Title() const { return title_; }

 private:
  QWidget* owner_;
  std::string title_;
  uint32_t flags_ = 5;
  std::string initialFolder_;
  std::string shownFolder_;
  std::string chosenFolder_;
  bool open_ = false;
};

// The dialog FolderChooser runs; public so tests can drive it.
class FolderChooserDialog : public QDialog {
  Q_OBJECT
 public:
  FolderChooserDialog(QWidget* owner, const QString& title, const QString& initialFolder,
                      const QString& shownFolder = {});
  // The selected folder; empty while nothing is selected.
  QString SelectedPath() const;
  QString StatusText() const;
  void Select(const QString& path);
  // Makes a folder of that name in the selected folder (else in the shown
  // one) and selects it; false when it cannot be made.
  bool MakeFolder(const QString& name);
  QTreeView* tree() const { return tree_; }
  QPushButton* okButton() const { return ok_; }
  QLineEdit* pathField() const { return path_; }

 private:
  void CreateTree(QVBoxLayout* layout);
  void CreatePathRow(QVBoxLayout* layout);
  void CreateButtons(QVBoxLayout* layout);
  // Expands and scrolls to folder without selecting it.
  void ShowFolder(const QString& folder);
  void SelectionChanged();
  void PathEntered();
  void AskNewFolder();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* status_;
  QLineEdit* path_;
  QPushButton* ok_;
  QString shownFolder_;
};

}  // namespace orv
