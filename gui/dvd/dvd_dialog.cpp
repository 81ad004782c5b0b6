#include "gui/dvd/dvd_dialog.h"

#include <QComboBox>
#include <QPainter>
#include <QPushButton>

namespace orv {
namespace {

void Fill(QComboBox* box, const std::vector<std::string>& entries) {
  box->clear();
  for (const std::string& e : entries) box->addItem(QString::fromStdString(e));
}

struct Label {
  const char* text;
  int x, y;
};
const Label kLabels[] = {{"Drive:", 55, 30},          {"Title:", 61, 66},
                         {"Chapter  From:", 40, 103}, {"To:", 232, 103},
                         {"Subtitle:", 40, 138},      {"Audio Stream:", 20, 173},
                         {"Audio Channel:", 20, 211}};

}  // namespace

DvdDialog::DvdDialog(std::vector<std::string> driveRoots, DvdChoice::Identify identify,
                     QWidget* parent)
    : QDialog(parent),
      choice_(std::make_unique<DvdChoice>(std::move(driveRoots), std::move(identify))) {
  setWindowTitle(kDvdDialogCaption);
  setFixedSize(kDvdDialogWidth, kDvdDialogHeight);
  QFont f = font();
  f.setFamily("Sans Serif");
  f.setPixelSize(12);
  setFont(f);
  auto combo = [this](int id, int x, int y, int w) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString("control%1").arg(id));
    box->setGeometry(x, y - 4, w, 22);
    return box;
  };
  drive_ = combo(kDriveList, 100, 30, 130);
  title_ = combo(kTitleList, 100, 66, 130);
  first_ = combo(kFirstChapterList, 135, 103, 85);
  last_ = combo(kLastChapterList, 260, 103, 85);
  subtitle_ = combo(kSubtitleList, 100, 138, 245);
  audio_ = combo(kAudioList, 115, 173, 230);
  channel_ = combo(kChannelList, 115, 211, 230);
  Fill(channel_, kDvdChannelModes);
  auto* ok = new QPushButton("OK", this);
  ok->setGeometry(kDvdDialogWidth - 190, kDvdDialogHeight - 40, 80, 26);
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setGeometry(kDvdDialogWidth - 100, kDvdDialogHeight - 40, 80, 26);
  connect(ok, &QPushButton::clicked, this, &DvdDialog::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(drive_, &QComboBox::activated, this, &DvdDialog::OnDriveChosen);
  connect(title_, &QComboBox::activated, this, &DvdDialog::OnTitleChosen);

  Fill(drive_, choice_->drives());
  choice_->Open();
  PushLists();
  PushIndexes();
}

QComboBox* DvdDialog::List(int id) const {
  switch (id) {
    case kDriveList: return drive_;
    case kTitleList: return title_;
    case kFirstChapterList: return first_;
    case kLastChapterList: return last_;
    case kSubtitleList: return subtitle_;
    case kAudioList: return audio_;
    case kChannelList: return channel_;
    default: return nullptr;
  }
}

void DvdDialog::PushLists() {
  Fill(title_, choice_->titles());
  Fill(first_, choice_->chapters());
  Fill(last_, choice_->chapters());
  Fill(subtitle_, choice_->subtitles());
  Fill(audio_, choice_->audioStreams());
}

void DvdDialog::PushIndexes() {
  const DvdChoice& c = *choice_;
  drive_->setCurrentIndex(c.drive);
  title_->setCurrentIndex(c.title);
  first_->setCurrentIndex(c.firstChapter);
  last_->setCurrentIndex(c.lastChapter);
  subtitle_->setCurrentIndex(c.subtitle);
  audio_->setCurrentIndex(c.audio);
  channel_->setCurrentIndex(c.channel);
}

void DvdDialog::ReadControls() {
  DvdChoice& c = *choice_;
  c.drive = drive_->currentIndex();
  c.title = title_->currentIndex();
  c.firstChapter = first_->currentIndex();
  c.lastChapter = last_->currentIndex();
  c.subtitle = subtitle_->currentIndex();
  c.audio = audio_->currentIndex();
  c.channel = channel_->currentIndex();
}

void DvdDialog::OnDriveChosen(int index) {
  ReadControls();
  setCursor(Qt::WaitCursor);
  choice_->ChooseDrive(index);
  unsetCursor();
  PushLists();
  PushIndexes();
}

void DvdDialog::OnTitleChosen(int index) {
  ReadControls();
  setCursor(Qt::WaitCursor);
  choice_->ChooseTitle(index);
  unsetCursor();
  // The title list keeps its entries; the others follow the chosen title.
  Fill(first_, choice_->chapters());
  Fill(last_, choice_->chapters());
  Fill(subtitle_, choice_->subtitles());
  Fill(audio_, choice_->audioStreams());
  PushIndexes();
}

void DvdDialog::OnOk() {
  ReadControls();
  accept();
}

void DvdDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(213, 224, 240));
  p.setPen(Qt::black);
  for (const Label& label : kLabels)
    p.drawText(QRect(label.x, label.y, 200, 20), Qt::AlignLeft | Qt::AlignTop, label.text);
}

}  // namespace orv
