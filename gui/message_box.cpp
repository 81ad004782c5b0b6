#include "gui/message_box.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace orv {
namespace {

constexpr QChar kBreakChance(0x200B);  // zero-width space
constexpr int kLongWord = 24;          // characters

}  // namespace

QString BreakableText(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 4);
  int wordLength = 0;
  for (QChar c : text) {
    out += c;
    wordLength = c.isSpace() ? 0 : wordLength + 1;
    const bool separator = c == '/' || c == '\\' || c == '_' || c == '.' || c == '-';
    if (separator) out += kBreakChance;
    // A long run without any separator still breaks somewhere.
    if (wordLength >= kLongWord * 2) {
      out += kBreakChance;
      wordLength = 0;
    }
  }
  return out;
}

MessageDialog::MessageDialog(QWidget* owner, const QString& caption, const QString& text, Kind kind,
                             bool warning, const QString& extraButton)
    : QDialog(owner), text_(text) {
  setWindowTitle(caption);
  setObjectName("messageBox");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  if (warning) {
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon, 0, Qt::AlignTop);
  }
  label_ = new QLabel(BreakableText(text), this);
  label_->setObjectName("messageText");
  label_->setTextFormat(Qt::PlainText);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label_->setWordWrap(true);
  label_->setAccessibleName(text);
  // As wide as the longest line up to the wrap width; as high as the
  // wrapped text then needs.
  const QFontMetrics metrics(label_->font());
  int widest = 0;
  for (const QString& line : text.split('\n'))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  label_->setFixedWidth(std::clamp(widest + 4, kMessageMinWidth, kMessageWrapWidth));
  row->addWidget(label_, 1);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QDialogButtonBox::Ok)->setObjectName("ok");
  if (kind == Kind::OkCancel) buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("cancel");
  if (!extraButton.isEmpty()) {
    QPushButton* extra = buttons->addButton(extraButton, QDialogButtonBox::ActionRole);
    extra->setObjectName("extra");
    connect(extra, &QPushButton::clicked, this, [this] {
      choseExtra_ = true;
      accept();
    });
  }
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
}

}  // namespace orv
