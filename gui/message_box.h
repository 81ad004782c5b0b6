// The program's message boxes: the text wraps at a readable width (long
// paths too, at their separators) and the box grows to show all of it.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace orv {

// Widest a message line grows before it wraps, in pixels.
inline constexpr int kMessageWrapWidth = 460;
inline constexpr int kMessageMinWidth = 220;

class MessageDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { Ok, OkCancel };
  // extraButton, when not empty, is a third button; ChoseExtra() tells
  // whether it ended the box.
  MessageDialog(QWidget* owner, const QString& caption, const QString& text, Kind kind,
                bool warning, const QString& extraButton = {});

  QString Text() const { return text_; }
  QLabel* TextLabel() const { return label_; }
  bool ChoseExtra() const { return choseExtra_; }

 private:
  QString text_;
  QLabel* label_;
  bool choseExtra_ = false;
};

// The text with a break chance after every '/', '\', '_', '.' and '-' of
// words too long for a line, so a long path wraps instead of being cut.
QString BreakableText(const QString& text);

}  // namespace orv
