// The settings grid: a two-column list of the conversion settings rows,
// drawn by itself, with an editor opened over the value of the clicked row
// (a combo box, a text box, or a "..." button for the choosers) and a
// divider the user drags. It holds pointers to rows the window owns and
// tells the window about edits through posted messages.
#pragma once

#include <QAbstractScrollArea>
#include <vector>

#include "platform/shell.h"
#include "core/settings/grid_rows.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace orv {

// Messages the grid posts to the window, in this order where several apply.
inline constexpr int kMsgGridOutputFormat = 0x866;
inline constexpr int kMsgGridClipReset = 0x738;
inline constexpr int kMsgGridValueChanged = 0x865;
inline constexpr int kMsgGridClipTimes = 0x864;

inline constexpr int kGridRowHeight = 20;
inline constexpr int kGridComboId = 712;
inline constexpr int kGridTextBoxId = 713;
inline constexpr int kGridButtonId = 714;
// How near the divider the pointer grabs it, and how near the grid's sides
// a drag may take it.
inline constexpr int kDividerGrab = 5;
inline constexpr int kDividerMargin = 10;

inline constexpr const char* kGridFileFilter = "Gif Files (*.gif)|*.gif||";

class SettingsGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  SettingsGrid(Shell& shell, QWidget* parent);

  // Shows the row at the end; returns its index.
  int AddRow(GridRow* row);
  // Shows no row; the rows themselves stay with their owner.
  void ResetContent();
  int RowCount() const { return static_cast<int>(rows_.size()); }
  GridRow* Row(int index) const;
  // The row under a point of the viewport, or -1.
  int RowAt(const QPoint& viewportPoint) const;
  QRect RowRect(int index) const;

  int SplitterX() const { return splitterX_; }
  int CurrentRow() const { return currentRow_; }
  bool Tracking() const { return tracking_; }
  int EditorKind() const { return editorKind_; }
  QComboBox* ComboBox() const { return combo_; }
  QLineEdit* TextBox() const { return textBox_; }
  QPushButton* Button() const { return button_; }
  // Why the text typed in the open editor is not taken ("" when it is).
  QString EditorProblem() const { return editorProblem_; }

 signals:
  // Connected queued: handled after the notification that posted it.
  void posted(int message);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void EnsureSplitter();
  int TrackBound(int x) const;
  void UpdateScrollRange();
  void OpenEditor();
  void OpenCombo(GridRow& row, QRect cell);
  void OpenTextBox(GridRow& row, QRect cell);
  void OpenButton(QRect cell);
  void OnComboActivated(int index);
  void OnComboTyped(const QString& text);
  void OnTextEdited(const QString& text);
  void OnButtonPressed();
  void OnFocusChanged(QWidget* old, QWidget* now);
  void HideEditors();
  // Shows (or clears) why the typed text is not taken, at the editor.
  void ShowEditorProblem(const QString& problem);
  GridRow* EditedRow() const;

  Shell& shell_;
  std::vector<GridRow*> rows_;
  int splitterX_ = 0;
  int currentRow_ = 1;
  int editorKind_ = 0;
  bool tracking_ = false;
  int trackX_ = 0;
  QComboBox* combo_ = nullptr;
  QLineEdit* textBox_ = nullptr;
  QPushButton* button_ = nullptr;
  QFont editorFont_;
  QString editorProblem_;
};

}  // namespace orv
