#include "gui/folder_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "gui/strings.h"

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
                             QString::fromStdString(initialFolder_),
                             QString::fromStdString(shownFolder_));
  const bool ok = dialog.exec() == QDialog::Accepted && !dialog.SelectedPath().isEmpty();
  open_ = false;
  if (!ok) return false;
  chosenFolder_ = dialog.SelectedPath().toStdString();
  return true;
}

FolderChooserDialog::FolderChooserDialog(QWidget* owner, const QString& title,
                                         const QString& initialFolder, const QString& shownFolder)
    : QDialog(owner), shownFolder_(shownFolder) {
  setWindowTitle("Browse for Folder");
  setObjectName("folderChooser");
  resize(440, 460);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(title, this);
  layout->addWidget(heading);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  // The shortened path is at most 56 characters: room for all of them.
  status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(QString(58, 'W')) * 3 / 4);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(status_);
  CreateTree(layout);
  CreatePathRow(layout);
  CreateButtons(layout);
  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &FolderChooserDialog::SelectionChanged);
  ShowFolder(shownFolder);
  if (!initialFolder.isEmpty()) Select(initialFolder);
  status_->setText(initialFolder);
  path_->setFocus();
}

void FolderChooserDialog::CreateTree(QVBoxLayout* layout) {
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath("/");
  tree_ = new QTreeView(this);
  tree_->setObjectName("folderTree");
  tree_->setAccessibleName("Folders");
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  layout->addWidget(tree_, 1);
}

void FolderChooserDialog::CreatePathRow(QVBoxLayout* layout) {
  auto* pathRow = new QHBoxLayout;
  auto* pathLabel = new QLabel("Folder:", this);
  path_ = new QLineEdit(this);
  path_->setObjectName("path");
  path_->setAccessibleName("Folder path");
  pathLabel->setBuddy(path_);
  pathRow->addWidget(pathLabel);
  pathRow->addWidget(path_, 1);
  layout->addLayout(pathRow);
  connect(path_, &QLineEdit::returnPressed, this, &FolderChooserDialog::PathEntered);
  connect(path_, &QLineEdit::textEdited, this, [this](const QString& text) {
    ok_->setEnabled(QFileInfo(text).isDir() || !SelectedPath().isEmpty());
  });
}

void FolderChooserDialog::CreateButtons(QVBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* newFolder = buttons->addButton("New Folder", QDialogButtonBox::ActionRole);
  newFolder->setObjectName("newFolder");
  newFolder->setAutoDefault(false);
  connect(newFolder, &QPushButton::clicked, this, &FolderChooserDialog::AskNewFolder);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setObjectName("ok");
  ok_->setEnabled(false);  // until a folder is chosen
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    // A folder typed into the path field and not yet entered counts.
    const QString typed = QDir::cleanPath(path_->text());
    if (!typed.isEmpty() && typed != SelectedPath() && QFileInfo(typed).isDir()) Select(typed);
    if (!SelectedPath().isEmpty()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void FolderChooserDialog::ShowFolder(const QString& folder) {
  if (folder.isEmpty()) return;
  const QModelIndex shown = model_->index(folder);
  if (!shown.isValid()) return;
  // Expanded and scrolled to, but not current: a tree that gets the focus
  // selects its current item.
  for (QModelIndex i = shown; i.isValid(); i = i.parent()) tree_->expand(i);
  tree_->scrollTo(shown, QAbstractItemView::PositionAtTop);
}

void FolderChooserDialog::Select(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  tree_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tree_->scrollTo(index);
}

QString FolderChooserDialog::SelectedPath() const {
  const QModelIndexList rows = tree_->selectionModel()->selectedRows();
  return rows.isEmpty() ? QString() : model_->filePath(rows.first());
}

QString FolderChooserDialog::StatusText() const { return status_->text(); }

void FolderChooserDialog::SelectionChanged() {
  const QString selected = SelectedPath();
  status_->setText(QString::fromStdString(ShortenForStatus(selected.toStdString())));
  if (!selected.isEmpty()) path_->setText(selected);
  ok_->setEnabled(!selected.isEmpty());
}

void FolderChooserDialog::PathEntered() {
  const QString typed = QDir::cleanPath(path_->text());
  if (QFileInfo(typed).isDir()) Select(typed);
}

bool FolderChooserDialog::MakeFolder(const QString& name) {
  QString parent = SelectedPath();
  if (parent.isEmpty()) parent = shownFolder_;
  if (parent.isEmpty() || name.trimmed().isEmpty() || name.contains('/')) return false;
  const QModelIndex made = model_->mkdir(model_->index(parent), name.trimmed());
  if (!made.isValid()) return false;
  Select(model_->filePath(made));
  return true;
}

void FolderChooserDialog::AskNewFolder() {
  bool ok = false;
  const QString name =
      QInputDialog::getText(this, "New Folder", "Name of the new folder:", QLineEdit::Normal,
                            "New Folder", &ok);
  if (!ok) return;
  if (!MakeFolder(name))
    QMessageBox::warning(this, "New Folder", "The folder \"" + name + "\" cannot be made here.");
}

}  // namespace orv
