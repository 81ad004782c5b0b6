// The small modal dialogs of the main window: Output File Overwrite, the
// one-line text entry (Set Output File Name) and About.
#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;
class QRadioButton;

namespace orv {

inline constexpr int kOverwriteRadio = 1051;  // 1051..1053 carry the values 1..3

class OverwriteDialog : public QDialog {
  Q_OBJECT
 public:
  OverwriteDialog(int overWriteType, QWidget* parent);
  int Choice() const { return choice_; }
  // The radio button of value 1..3.
  QRadioButton* Radio(int value) const { return radios_[value - 1]; }

 private:
  QRadioButton* radios_[3];
  int choice_;
};

inline constexpr int kTextEntryEdit = 1055;

// A prompt, an edit box that starts with the given text, OK and Cancel.
class TextEntryDialog : public QDialog {
  Q_OBJECT
 public:
  TextEntryDialog(const QString& title, const QString& prompt, const QString& text,
                  QWidget* parent);
  QString Text() const;

 private:
  QLineEdit* edit_;
};

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent);
};

// The dialogs' OK and Cancel: skinned buttons on the light-blue dialogs.
QDialogButtonBox* NewDialogButtons(QDialog* dialog, bool withCancel);

}  // namespace orv
