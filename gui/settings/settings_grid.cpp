#include "gui/settings/settings_grid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cstdio>

#include "platform/text.h"
#include "core/settings/option_tables.h"
#include "core/settings/settings_check.h"
#include "core/settings/time_text.h"

namespace orv {
namespace {

const QColor kVideoNameFill(235, 235, 235);
const QColor kNameFill(250, 250, 250);
const QColor kCellLine(200, 200, 200);
constexpr int kTextInset = 3;
constexpr int kButtonWidth = 25;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The folder part of a path, for the file chooser's start.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// An editor being replaced: it leaves the grid at once and is deleted when
// the events it may be part of are over.
template <typename Editor>
void Discard(Editor*& editor) {
  if (!editor) return;
  Editor* old = editor;
  editor = nullptr;
  old->hide();
  old->disconnect();
  old->deleteLater();
}

}  // namespace

SettingsGrid::SettingsGrid(Shell& shell, QWidget* parent)
    : QAbstractScrollArea(parent), shell_(shell) {
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(true);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(pal);
  editorFont_ = font();
  editorFont_.setFamily("Sans Serif");
  editorFont_.setStyleHint(QFont::SansSerif);
  editorFont_.setPixelSize(11);
  setFont(editorFont_);
  verticalScrollBar()->setSingleStep(1);
  connect(qApp, &QApplication::focusChanged, this, &SettingsGrid::OnFocusChanged);
}

int SettingsGrid::AddRow(GridRow* row) {
  rows_.push_back(row);
  UpdateScrollRange();
  viewport()->update();
  return RowCount() - 1;
}

void SettingsGrid::ResetContent() {
  HideEditors();
  rows_.clear();
  UpdateScrollRange();
  viewport()->update();
}

GridRow* SettingsGrid::Row(int index) const {
  return index >= 0 && index < RowCount() ? rows_[static_cast<std::size_t>(index)] : nullptr;
}

QRect SettingsGrid::RowRect(int index) const {
  const int top = (index - verticalScrollBar()->value()) * kGridRowHeight;
  return QRect(0, top, viewport()->width(), kGridRowHeight);
}

int SettingsGrid::RowAt(const QPoint& p) const {
  if (p.y() < 0 || p.x() < 0 || p.x() >= viewport()->width()) return -1;
  const int index = p.y() / kGridRowHeight + verticalScrollBar()->value();
  return index < RowCount() ? index : -1;
}

void SettingsGrid::UpdateScrollRange() {
  const int visible = std::max(1, viewport()->height() / kGridRowHeight);
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setRange(0, std::max(0, RowCount() - visible));
}

void SettingsGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

void SettingsGrid::EnsureSplitter() {
  if (splitterX_ == 0) splitterX_ = viewport()->width() / 2;
}

void SettingsGrid::paintEvent(QPaintEvent*) {
  EnsureSplitter();
  QPainter p(viewport());
  p.setFont(font());
  for (int i = verticalScrollBar()->value(); i < RowCount(); ++i) {
    const QRect r = RowRect(i);
    if (r.top() >= viewport()->height()) break;
    const GridRow& row = *rows_[static_cast<std::size_t>(i)];
    const QRect name(r.left(), r.top(), splitterX_ - r.left(), r.height());
    const QRect value(splitterX_, r.top(), r.right() - splitterX_ + 1, r.height());
    const bool video = AsciiLower(row.caption).rfind("video", 0) == 0;
    p.fillRect(name, video ? kVideoNameFill : kNameFill);
    p.setPen(QPen(kCellLine, 1));
    // The name cell's whole border; the value cell's bottom, right and top.
    p.drawRect(name.adjusted(0, 0, -1, -1));
    p.drawLine(value.bottomLeft(), value.bottomRight());
    p.drawLine(value.topRight(), value.bottomRight());
    p.drawLine(value.topLeft(), value.topRight());
    p.setPen(palette().color(QPalette::Text));
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    p.save();
    p.setClipRect(name.adjusted(1, 1, -1, -1));
    // A caption wider than its cell is narrowed rather than cut.
    const QString caption = Q(row.caption);
    const int room = name.width() - kTextInset - 3;
    const int needed = p.fontMetrics().horizontalAdvance(caption);
    if (needed > room && room > 0) {
      QFont narrow = p.font();
      narrow.setStretch(std::max(70, room * 100 / needed));
      p.setFont(narrow);
    }
    p.drawText(name.adjusted(kTextInset, kTextInset, 0, 0), flags, caption);
    p.restore();
    p.save();
    p.setClipRect(value.adjusted(0, 1, -1, -1));
    p.drawText(value.adjusted(kTextInset, kTextInset, 0, 0), flags, Q(row.value));
    p.restore();
  }
  if (tracking_) {
    // Inverted pixels, as a drag line over whatever is below it.
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.fillRect(QRect(trackX_, 0, 1, viewport()->height()), Qt::white);
  }
}

int SettingsGrid::TrackBound(int x) const {
  // The pointer stays 10 pixels inside the grid's outer edges.
  const int frame = viewport()->x();
  return std::clamp(x, kDividerMargin - frame, width() - kDividerMargin - frame - 1);
}

void SettingsGrid::mousePressEvent(QMouseEvent* event) {
  EnsureSplitter();
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton && std::abs(at.x() - splitterX_) <= kDividerGrab) {
    viewport()->setCursor(Qt::SizeHorCursor);
    if (combo_) combo_->hide();
    if (textBox_) textBox_->hide();
    tracking_ = true;
    trackX_ = TrackBound(at.x());
    viewport()->update();
    return;
  }
  setFocus(Qt::MouseFocusReason);
  QAbstractScrollArea::mousePressEvent(event);
}

void SettingsGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (tracking_) {
    trackX_ = TrackBound(at.x());
    viewport()->update();
    return;
  }
  viewport()->setCursor(std::abs(at.x() - splitterX_) <= kDividerGrab ? Qt::SizeHorCursor
                                                                      : Qt::ArrowCursor);
}

void SettingsGrid::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (tracking_) {
    tracking_ = false;
    splitterX_ = TrackBound(at.x());
    viewport()->setCursor(Qt::ArrowCursor);
    viewport()->update();
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  const int row = RowAt(at);
  if (row < 0) return;
  currentRow_ = row;
  OpenEditor();
}

void SettingsGrid::keyPressEvent(QKeyEvent* event) {
  const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
  if (step == 0 || RowCount() == 0) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  currentRow_ = std::clamp(currentRow_ + step, 0, RowCount() - 1);
  const int top = verticalScrollBar()->value();
  const int visible = std::max(1, viewport()->height() / kGridRowHeight);
  if (currentRow_ < top) verticalScrollBar()->setValue(currentRow_);
  if (currentRow_ >= top + visible) verticalScrollBar()->setValue(currentRow_ - visible + 1);
  OpenEditor();
}

void SettingsGrid::scrollContentsBy(int, int) {
  // Editors stand over a row; scrolling takes them away from it.
  setFocus(Qt::OtherFocusReason);
  if (combo_) combo_->hide();
  if (textBox_) textBox_->hide();
  if (button_) button_->hide();
  viewport()->update();
}

GridRow* SettingsGrid::EditedRow() const { return Row(currentRow_); }

void SettingsGrid::OpenEditor() {
  GridRow* row = EditedRow();
  if (!row) return;
  EnsureSplitter();
  QRect cell = RowRect(currentRow_);
  cell.setLeft(splitterX_);
  if (button_) button_->hide();
  switch (row->kind) {
    case kEditorCombo:
      OpenCombo(*row, cell);
      break;
    case kEditorText:
      OpenTextBox(*row, cell);
      break;
    default:
      OpenButton(cell);
      break;
  }
}

void SettingsGrid::OpenCombo(GridRow& row, QRect cell) {
  if (textBox_) textBox_->hide();
  Discard(combo_);
  combo_ = new QComboBox(viewport());
  combo_->setObjectName(QString("control%1").arg(kGridComboId));
  combo_->setFont(editorFont_);
  combo_->setEditable(row.listOnly != 1);
  combo_->setMaxVisibleItems(15);
  for (const std::string& option : SplitOptionList(row.options)) combo_->addItem(Q(option));
  combo_->setGeometry(cell);
  const int match = combo_->findText(Q(row.value), Qt::MatchExactly | Qt::MatchCaseSensitive);
  combo_->setCurrentIndex(match);
  // A value that is no option still shows: typed text, or the placeholder of
  // a list-only box.
  if (combo_->isEditable())
    combo_->setEditText(Q(row.value));
  else if (match < 0)
    combo_->setPlaceholderText(Q(row.value));
  connect(combo_, &QComboBox::activated, this, &SettingsGrid::OnComboActivated);
  if (combo_->isEditable())
    connect(combo_->lineEdit(), &QLineEdit::textEdited, this, &SettingsGrid::OnComboTyped);
  ShowEditorProblem({});
  combo_->show();
  combo_->setFocus(Qt::OtherFocusReason);
  editorKind_ = 0;
}

void SettingsGrid::OpenTextBox(GridRow& row, QRect cell) {
  editorKind_ = 1;
  if (combo_) combo_->hide();
  cell.setBottom(cell.bottom() - 3);
  Discard(textBox_);
  textBox_ = new QLineEdit(viewport());
  textBox_->setObjectName(QString("control%1").arg(kGridTextBoxId));
  textBox_->setFont(editorFont_);
  textBox_->setGeometry(cell);
  textBox_->setText(Q(row.value));
  connect(textBox_, &QLineEdit::textEdited, this, &SettingsGrid::OnTextEdited);
  textBox_->show();
  textBox_->setFocus(Qt::OtherFocusReason);
}

void SettingsGrid::OpenButton(QRect cell) {
  editorKind_ = 2;
  if (combo_) combo_->hide();
  if (textBox_) textBox_->hide();
  if (cell.width() > kButtonWidth) cell.setLeft(cell.right() - kButtonWidth + 1);
  cell.setBottom(cell.bottom() - 3);
  if (!button_) {
    button_ = new QPushButton("...", viewport());
    button_->setObjectName(QString("control%1").arg(kGridButtonId));
    button_->setFont(editorFont_);
    connect(button_, &QPushButton::clicked, this, &SettingsGrid::OnButtonPressed);
  }
  button_->setGeometry(cell);
  button_->show();
  button_->setFocus(Qt::OtherFocusReason);
}

void SettingsGrid::OnComboActivated(int index) {
  GridRow* row = EditedRow();
  if (!row || !combo_) return;
  row->value = combo_->itemText(index).toStdString();
  if (row->caption == "Output format") emit posted(kMsgGridOutputFormat);
  if (row->caption == "Clip video") emit posted(kMsgGridClipReset);
  emit posted(kMsgGridValueChanged);
  viewport()->update();
}

void SettingsGrid::OnComboTyped(const QString& text) {
  GridRow* row = EditedRow();
  if (!row) return;
  // A text that is no value is refused here, with its reason; the row (and
  // the item) keeps the last value that was one.
  const std::string typed = text.toStdString();
  std::string reason = FieldValueProblem(row->caption, typed);
  if (reason.empty())
    reason = TypedValueCombinationProblem({rows_.begin(), rows_.end()}, row->caption, typed);
  ShowEditorProblem(reason.empty() ? QString() : Q(FieldProblem{row->caption, typed, reason}.Text()));
  if (!reason.empty()) return;
  row->value = typed;
  viewport()->update();
  emit posted(kMsgGridValueChanged);
}

void SettingsGrid::OnTextEdited(const QString& text) {
  GridRow* row = EditedRow();
  if (!row) return;
  row->value = text.toStdString();
  if (LooksLikeTimeText(row->value) && (row->caption == "Start time" || row->caption == "End time"))
    emit posted(kMsgGridClipTimes);
}

void SettingsGrid::OnButtonPressed() {
  GridRow* row = EditedRow();
  if (!row) return;
  const std::string before = row->value;
  bool chosen = false;
  if (row->kind == kEditorColour) {
    int r = 0, g = 0, b = 0;
    std::sscanf(row->value.c_str(), "RGB(%d,%d,%d)", &r, &g, &b);
    unsigned rgb = (static_cast<unsigned>(r & 0xFF) << 16) |
                   (static_cast<unsigned>(g & 0xFF) << 8) | static_cast<unsigned>(b & 0xFF);
    if ((chosen = shell_.ChooseColour(&rgb)))
      row->value = "RGB(" + std::to_string((rgb >> 16) & 0xFF) + "," +
                   std::to_string((rgb >> 8) & 0xFF) + "," + std::to_string(rgb & 0xFF) + ")";
  } else if (row->kind == kEditorFont) {
    std::string face = row->value;
    if ((chosen = shell_.ChooseFont(&face))) row->value = face;
  } else {
    FileDialogOptions options;
    options.title = "Select file";
    options.filter = kGridFileFilter;
    options.startFolder = FolderOf(row->value);
    const std::vector<std::string> files = shell_.OpenFiles(options);
    if ((chosen = !files.empty())) row->value = files.front();
  }
  if (!chosen) return;
  if (std::string reason = FieldValueProblem(row->caption, row->value); !reason.empty()) {
    shell_.Message(FieldProblem{row->caption, row->value, reason}.Text());
    row->value = before;
    return;
  }
  if (button_) button_->hide();
  viewport()->update();
}

void SettingsGrid::OnFocusChanged(QWidget*, QWidget* now) {
  // An editor closes when the focus goes anywhere but into it (its own
  // drop-down list included).
  auto inside = [now](QWidget* editor) {
    if (!editor || !now) return false;
    if (now == editor || editor->isAncestorOf(now)) return true;
    auto* combo = qobject_cast<QComboBox*>(editor);
    return combo && combo->view() && (now == combo->view() || combo->view()->isAncestorOf(now) ||
                                      now->window() == combo->view()->window());
  };
  bool changed = false;
  if (combo_ && combo_->isVisible() && !inside(combo_)) {
    ShowEditorProblem({});
    combo_->hide();
    changed = true;
  }
  if (textBox_ && textBox_->isVisible() && !inside(textBox_)) {
    textBox_->hide();
    changed = true;
  }
  if (changed) viewport()->update();
}

void SettingsGrid::ShowEditorProblem(const QString& problem) {
  editorProblem_ = problem;
  if (!combo_) return;
  combo_->setToolTip(problem);
  combo_->setAccessibleDescription(problem);
  combo_->setStyleSheet(problem.isEmpty() ? QString() : QString("QComboBox { color: #b00000; }"));
  if (problem.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(combo_->mapToGlobal(QPoint(0, combo_->height())), problem, combo_);
}

void SettingsGrid::HideEditors() {
  ShowEditorProblem({});
  if (combo_) combo_->hide();
  if (textBox_) textBox_->hide();
  if (button_) button_->hide();
}

}  // namespace orv
