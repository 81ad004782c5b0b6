#include "app/folder_chooser.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/strings.h"

namespace orv {

std::string ShortenForStatus(const std::string& path) {
  if (path.size() <= kStatusWidth) return path;
  std::string tail = path.substr(path.size() - (kStatusWidth - 2));
  const auto slash = tail.find('/');
  if (slash != std::string::npos && slash > 0) tail = tail.substr(slash);
  return "..." + tail;
}

FolderChooser::FolderChooser(QWidget* owner, int titleStringId)
    : owner_(owner), title_(ResourceString(titleStringId)) {}

bool FolderChooser::Run() {
  open_ = true;
  FolderChooserDialog dialog(owner_, QString::fromStdString(title_),
                             QString::fromStdString(initialFolder_));
  const bool ok = dialog.exec() == QDialog::Accepted && !dialog.SelectedPath().isEmpty();
  open_ = false;
  if (!ok) return false;
  chosenFolder_ = dialog.SelectedPath().toStdString();
  return true;
}

FolderChooserDialog::FolderChooserDialog(QWidget* owner, const QString& title,
                                         const QString& initialFolder)
    : QDialog(owner) {
  setWindowTitle("Browse for Folder");
  setObjectName("folderChooser");
  resize(360, 420);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(title, this);
  layout->addWidget(heading);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setMinimumWidth(320);
  layout->addWidget(status_);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath("/");
  tree_ = new QTreeView(this);
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  layout->addWidget(tree_, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &FolderChooserDialog::SelectionChanged);

  if (!initialFolder.isEmpty()) Select(initialFolder);
  status_->setText(initialFolder);
}

void FolderChooserDialog::Select(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
}

QString FolderChooserDialog::SelectedPath() const {
  const QModelIndex index = tree_->currentIndex();
  return index.isValid() ? model_->filePath(index) : QString();
}

QString FolderChooserDialog::StatusText() const { return status_->text(); }

void FolderChooserDialog::SelectionChanged() {
  status_->setText(QString::fromStdString(ShortenForStatus(SelectedPath().toStdString())));
}

}  // namespace orv
