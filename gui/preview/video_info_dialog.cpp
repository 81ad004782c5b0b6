#include "gui/preview/video_info_dialog.h"

#include <QPainter>
#include <QPushButton>

namespace orv {

VideoInfoDialog::VideoInfoDialog(const SourceItem& item, QWidget* parent)
    : QDialog(parent), rows_(VideoInfoRows(item)) {
  setWindowTitle(kVideoInfoCaption);
  setFixedSize(kVideoInfoWidth, kVideoInfoHeight);
  QFont text = font();
  text.setFamily("Sans Serif");
  text.setPixelSize(12);
  setFont(text);
  ok_ = new QPushButton("OK", this);
  ok_->setDefault(true);
  ok_->setGeometry(kVideoInfoWidth - 20 - 80, kVideoInfoHeight - 20 - 26, 80, 26);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void VideoInfoDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const QRect card = rect().adjusted(kVideoInfoMargin, kVideoInfoMargin, -kVideoInfoMargin,
                                     -kVideoInfoMargin);
  p.fillRect(card, QColor(230, 240, 255));
  p.setPen(QPen(QColor(0, 0, 20), 1));
  p.drawRect(card.adjusted(0, 0, -1, -1));
  const int width = this->width() - 40;
  for (const VideoInfoRow& row : rows_) {
    // A path longer than the card keeps its start and its end.
    const QString text = p.fontMetrics().elidedText(QString::fromStdString(row.text),
                                                    Qt::ElideMiddle, width);
    p.drawText(QRect(20, row.top, width, kVideoInfoRowHeight),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  }
}

}  // namespace orv
