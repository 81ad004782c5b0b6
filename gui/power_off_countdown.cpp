#include "gui/power_off_countdown.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/message_box.h"

namespace orv {

PowerOffCountdown::PowerOffCountdown(QWidget* owner, const QString& endText, int seconds)
    : QDialog(owner), left_(seconds) {
  setWindowTitle(kPowerOffCaption);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(BreakableText(endText), this);
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setMaximumWidth(kMessageWrapWidth);
  layout->addWidget(text);
  countdown_ = new QLabel(this);
  countdown_->setAccessibleName("Power-off countdown");
  QFont bold = countdown_->font();
  bold.setBold(true);
  countdown_->setFont(bold);
  layout->addWidget(countdown_);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setDefault(true);
  layout->addWidget(cancel_, 0, Qt::AlignRight);
  // Closing the window cancels as the button does.
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  countdown_->setText(CountdownText());
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &PowerOffCountdown::Tick);
  timer_.start();
  if (left_ <= 0) QTimer::singleShot(0, this, &QDialog::accept);
}

QString PowerOffCountdown::CountdownText() const {
  return QString("The computer will be powered off in %1 second%2.")
      .arg(left_)
      .arg(left_ == 1 ? "" : "s");
}

void PowerOffCountdown::Tick() {
  if (--left_ <= 0) {
    timer_.stop();
    accept();
    return;
  }
  countdown_->setText(CountdownText());
}

}  // namespace orv
