// The last word before the computer is powered off at the end of a run: the
// run's end text, the seconds left, and a Cancel button.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace orv {

inline constexpr const char* kPowerOffCaption = "Shut down PC when finished";

class PowerOffCountdown : public QDialog {
  Q_OBJECT
 public:
  PowerOffCountdown(QWidget* owner, const QString& endText, int seconds);

  // "The computer will be powered off in 60 seconds."
  QString CountdownText() const;
  QPushButton* cancelButton() const { return cancel_; }
  int secondsLeft() const { return left_; }

 private:
  void Tick();

  QLabel* countdown_;
  QPushButton* cancel_;
  QTimer timer_;
  int left_;
};

}  // namespace orv
