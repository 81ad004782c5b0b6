// A thin progress bar filled with a gradient.
#pragma once

#include <QWidget>

namespace orv {

class GradientProgress : public QWidget {
  Q_OBJECT
 public:
  explicit GradientProgress(QWidget* parent) : QWidget(parent) {}
  void SetRange(int min, int max);
  void SetPos(int value);
  int GetPos() const { return value_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
};

}  // namespace orv
