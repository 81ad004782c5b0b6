// The list control of the source list: one row per item, six columns, and
// the right-click menu whose commands are posted to the main window.
#pragma once

#include <QTableWidget>
#include <string>
#include <vector>

#include "core/settings/source_item.h"

class QFontMetrics;
class QMenu;

namespace orv {

// Messages the right-click menu posts.
inline constexpr int kMsgListPlay = 0x867;
inline constexpr int kMsgListStop = 0x868;
inline constexpr int kMsgListAddFile = 0x869;
inline constexpr int kMsgListClear = 0x86A;
inline constexpr int kMsgListDvdSettings = 0x86B;
inline constexpr int kMsgListSetOutputName = 0x86C;
inline constexpr int kMsgListFileInformation = 0x86D;
inline constexpr int kMsgListDelete = 0x86E;

inline constexpr int kMenuListWithSelection = 238;
inline constexpr int kMenuListEmpty = 239;

inline constexpr int kListRowHeight = 20;

enum ListColumn { kColId, kColSource, kColBegin, kColEnd, kColOutput, kColFormat, kColumnCount };

// The path as it fits in `width` pixels: whole when it fits, else its start
// and its whole file name with the folders between elided.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

class SourceListCtrl : public QTableWidget {
  Q_OBJECT
 public:
  explicit SourceListCtrl(QWidget* parent);

  void AppendRow(const SourceItem& item);
  // Columns 1 to 5 from the item.
  void ShowItem(int row, const SourceItem& item);
  void SetOutputText(int row, const std::string& outputPath);
  void SetFormatText(int row, const std::string& outputFormat);
  // Columns 2 and 3: the clip's begin and end as time texts.
  void SetClipTexts(int row, const std::string& begin, const std::string& end);
  void Renumber();
  int SelectedRow() const;
  void SelectRow(int row);
  // Marks the row as converting now (bold) or not.
  void SetConverting(int row, bool converting);

  // Menu 238 with a selection, 239 without; entries post their message.
  QMenu* BuildContextMenu();
  // Which commands the window can run today; the others are shown disabled.
  void SetMessageEnabled(int message, bool enabled);

 signals:
  // Connected queued, so the command runs after the menu has closed.
  void posted(int message);
  // Local files and folders dropped onto the list, in the drop's order.
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  void contextMenuEvent(QContextMenuEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  QList<int> disabled_;
};

}  // namespace orv
