#include "gui/source_list_ctrl.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>
#include <QMenu>

#include "gui/skin/skin_menu.h"

namespace orv {
namespace {

struct ColumnSpec {
  const char* title;
  Qt::Alignment alignment;
  int width;
};

const ColumnSpec kColumns[kColumnCount] = {
    {"ID", Qt::AlignCenter, 25},
    {"Source", Qt::AlignLeft | Qt::AlignVCenter, 130},
    {"Begin Time", Qt::AlignCenter, 80},
    {"End Time", Qt::AlignCenter, 80},
    {"Output", Qt::AlignLeft | Qt::AlignVCenter, 130},
    {"Format", Qt::AlignCenter, 60},
};

struct MenuEntry {
  const char* text;  // nullptr: separator
  int commandId;
  int message;
  const char* icon;
};

const MenuEntry kSelectionMenu[] = {
    {"Play", 32798, kMsgListPlay, "play"},
    {"Stop", 32799, kMsgListStop, "stop"},
    {nullptr, 0, 0, nullptr},
    {"Add File...", 32801, kMsgListAddFile, "add"},
    {"Delete Video File", 32802, kMsgListDelete, "remove"},
    {"Clear", 32803, kMsgListClear, "clear"},
    {nullptr, 0, 0, nullptr},
    {"DVD Settings", 32804, kMsgListDvdSettings, "dvd"},
    {"Set Output File Name...", 32805, kMsgListSetOutputName, "rename"},
    {nullptr, 0, 0, nullptr},
    {"File Information...", 32806, kMsgListFileInformation, "info"},
};

const MenuEntry kEmptyMenu[] = {
    {"Add File...", 32801, kMsgListAddFile, "add"},
    {"Clear", 32803, kMsgListClear, "clear"},
};

QTableWidgetItem* Cell(const std::string& text, int column) {
  auto* cell = new QTableWidgetItem(QString::fromStdString(text));
  cell->setTextAlignment(kColumns[column].alignment);
  cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  // A path shortened in the middle keeps its file name; the tooltip has it whole.
  if (column == kColSource || column == kColOutput) cell->setToolTip(cell->text());
  return cell;
}

// Source and output paths: the file name stays whole, the folders give way
// in the middle ("/home/u/…/Birthday party.mp4"); the tooltip has the path.
class PathDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const int room = option->rect.width() - 8;
    option->text = ElidePath(option->text, option->fontMetrics, room);
    option->textElideMode = Qt::ElideMiddle;  // a name too long for the cell on its own
  }
};

std::vector<std::string> LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

}  // namespace

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const int slash = path.lastIndexOf('/');
  if (slash < 0) return path;
  const QString tail = QString(QChar(0x2026)) + path.mid(slash);  // "…/name"
  const int tailWidth = metrics.horizontalAdvance(tail);
  // Not even the name fits: the name alone, elided in its middle.
  if (tailWidth >= width) return metrics.elidedText(path.mid(slash + 1), Qt::ElideMiddle, width);
  QString head = metrics.elidedText(path.left(slash), Qt::ElideRight, width - tailWidth);
  // elidedText ends what it cut with its own "…"; one is enough.
  if (head.endsWith(QChar(0x2026))) head.chop(1);
  return head + tail;
}

SourceListCtrl::SourceListCtrl(QWidget* parent) : QTableWidget(0, kColumnCount, parent) {
  setObjectName("sourceList");
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  // Paths show their start and their whole file name, the folders between
  // elided.
  setTextElideMode(Qt::ElideMiddle);
  setItemDelegateForColumn(kColSource, new PathDelegate(this));
  setItemDelegateForColumn(kColOutput, new PathDelegate(this));
  setAccessibleName("Source list");
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kListRowHeight);
  verticalHeader()->setMinimumSectionSize(kListRowHeight);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(16);
  for (int c = 0; c < kColumnCount; ++c) {
    auto* header = new QTableWidgetItem(kColumns[c].title);
    header->setTextAlignment(kColumns[c].alignment);
    setHorizontalHeaderItem(c, header);
    setColumnWidth(c, kColumns[c].width);
  }
  // The selection stays as visible without the focus as with it.
  QPalette pal = palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  setPalette(pal);
}

void SourceListCtrl::AppendRow(const SourceItem& item) {
  const int row = rowCount();
  insertRow(row);
  setItem(row, kColId, Cell(std::to_string(row + 1), kColId));
  ShowItem(row, item);
}

void SourceListCtrl::ShowItem(int row, const SourceItem& item) {
  setItem(row, kColSource, Cell(item.sourcePath, kColSource));
  setItem(row, kColBegin, Cell(item.clipStartText, kColBegin));
  setItem(row, kColEnd, Cell(item.clipEndText, kColEnd));
  setItem(row, kColOutput, Cell(item.outputPath, kColOutput));
  setItem(row, kColFormat, Cell(item.outputFormat, kColFormat));
}

void SourceListCtrl::SetOutputText(int row, const std::string& outputPath) {
  setItem(row, kColOutput, Cell(outputPath, kColOutput));
}

void SourceListCtrl::SetFormatText(int row, const std::string& outputFormat) {
  setItem(row, kColFormat, Cell(outputFormat, kColFormat));
}

void SourceListCtrl::SetClipTexts(int row, const std::string& begin, const std::string& end) {
  setItem(row, kColBegin, Cell(begin, kColBegin));
  setItem(row, kColEnd, Cell(end, kColEnd));
}

void SourceListCtrl::Renumber() {
  for (int row = 0; row < rowCount(); ++row)
    setItem(row, kColId, Cell(std::to_string(row + 1), kColId));
}

int SourceListCtrl::SelectedRow() const {
  const auto rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void SourceListCtrl::SelectRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  // Selected but not current, so the keyboard focus mark does not move.
  selectionModel()->select(model()->index(row, 0),
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollToItem(item(row, 0));
}

void SourceListCtrl::SetConverting(int row, bool converting) {
  if (row < 0 || row >= rowCount()) return;
  // Several rows convert at once: each is marked in bold while it does.
  for (int column = 0; column < columnCount(); ++column) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell) continue;
    QFont font = cell->font();
    font.setBold(converting);
    cell->setFont(font);
  }
  if (converting) scrollToItem(item(row, 0));
}

void SourceListCtrl::SetMessageEnabled(int message, bool enabled) {
  disabled_.removeAll(message);
  if (!enabled) disabled_.append(message);
}

QMenu* SourceListCtrl::BuildContextMenu() {
  QMenu* menu = NewSkinMenu(this);
  const bool selected = SelectedRow() >= 0;
  menu->setObjectName(QString("menu%1").arg(selected ? kMenuListWithSelection : kMenuListEmpty));
  auto add = [&](const auto& entries) {
    for (const MenuEntry& e : entries) {
      if (!e.text) {
        menu->addSeparator();
        continue;
      }
      QAction* action = AddSkinEntry(menu, e.text, e.commandId, e.icon);
      action->setEnabled(!disabled_.contains(e.message));
      const int message = e.message;
      connect(action, &QAction::triggered, this, [this, message] { emit posted(message); });
    }
  };
  if (selected) {
    add(kSelectionMenu);
  } else {
    add(kEmptyMenu);
  }
  return menu;
}

void SourceListCtrl::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).empty()) return event->ignore();
  event->acceptProposedAction();
}

void SourceListCtrl::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).empty()) return event->ignore();
  event->acceptProposedAction();
}

void SourceListCtrl::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalPaths(event->mimeData());
  if (paths.empty()) return event->ignore();
  event->acceptProposedAction();
  emit filesDropped(paths);
}

void SourceListCtrl::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = BuildContextMenu();
  menu->exec(event->globalPos());
  menu->deleteLater();
}

}  // namespace orv
