// A push button drawn from face images: normal, pressed (also while it has
// the focus) and hot (pointer over it). A missing face falls back to normal.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace orv {

struct ButtonFaces {
  int normal = 0;
  int pressed = 0;
  int hot = 0;
};

class SkinButton : public QAbstractButton {
  Q_OBJECT
 public:
  SkinButton(int id, const ButtonFaces& faces, QWidget* parent);

  // The second pair of faces, for a button with two states (Play / pause).
  void SetAlternateFaces(const ButtonFaces& faces);
  void SetAlternate(bool on);
  bool Alternate() const { return alternate_; }

  int id() const { return id_; }
  bool FacesLoaded() const { return !normal_[0].isNull(); }
  // Which face paint would draw now: 0 normal, 1 pressed, 2 hot.
  int CurrentFace() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  int id_;
  bool alternate_ = false;
  bool hot_ = false;
  QPixmap normal_[2], pressed_[2], hotFace_[2];
};

}  // namespace orv
