#include "gui/main_window_dialogs.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/strings.h"

namespace orv {

QDialogButtonBox* NewDialogButtons(QDialog* dialog, bool withCancel) {
  auto* box = new QDialogButtonBox(
      withCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
  box->setStyleSheet(
      "QPushButton { min-width: 64px; padding: 3px 10px; border: 1px solid rgb(96, 128, 176); "
      "border-radius: 3px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
      "stop:0 rgb(250, 252, 255), stop:1 rgb(196, 214, 240)); }"
      "QPushButton:hover { background: rgb(228, 238, 252); }"
      "QPushButton:pressed, QPushButton:focus { background: rgb(170, 196, 234); }");
  QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return box;
}

OverwriteDialog::OverwriteDialog(int overWriteType, QWidget* parent)
    : QDialog(parent), choice_(overWriteType) {
  setWindowTitle("Output File Overwrite");
  setObjectName("overwriteDialog");
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("Output file overwtite type", this);
  auto* groupLayout = new QVBoxLayout(group);
  const char* texts[3] = {"Overwrite", "Not overwrite(remind me)",
                          "Not overwrite(ignore the selected file)"};
  for (int value = 1; value <= 3; ++value) {
    QRadioButton* radio = new QRadioButton(texts[value - 1], group);
    radio->setObjectName(QString("radio%1").arg(kOverwriteRadio + value - 1));
    radio->setChecked(value == overWriteType);
    connect(radio, &QRadioButton::toggled, this, [this, value](bool on) {
      if (on) choice_ = value;
    });
    groupLayout->addWidget(radio);
    radios_[value - 1] = radio;
  }
  layout->addWidget(group);
  layout->addWidget(NewDialogButtons(this, true));
}

TextEntryDialog::TextEntryDialog(const QString& title, const QString& prompt, const QString& text,
                                 QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(text, this)) {
  setWindowTitle(title);
  edit_->setObjectName(QString::number(kTextEntryEdit));
  edit_->setMinimumWidth(260);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(prompt, this));
  layout->addWidget(edit_);
  layout->addWidget(NewDialogButtons(this, true));
}

QString TextEntryDialog::Text() const { return edit_->text(); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About...");
  setObjectName("aboutDialog");
  auto* layout = new QVBoxLayout(this);
  const QString lines[3] = {
      QString("Orvantic %1, a batch video converter by the Orvantic developers").arg(kAppVersion),
      QString("Web site: %1").arg(kWebSite),
      QString("Support: %1").arg(QString(kSupportMail).mid(7)),
  };
  for (const QString& line : lines) layout->addWidget(new QLabel(line, this));
  layout->addWidget(NewDialogButtons(this, false));
}

}  // namespace orv
