#include "gui/file_reading.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace orv {
namespace {

// A single file is usually read in less: its row comes without the line
// flashing up first.
constexpr int kShowLineAfterMs = 300;

}  // namespace

FileReading::FileReading(const Installation& installation, Shell& shell, AnswerFn onAnswer,
                         QWidget* parent)
    : QWidget(parent), onAnswer_(std::move(onAnswer)) {
  setObjectName("reading");
  text_ = new QLabel(this);
  text_->setAccessibleName("Reading files");
  text_->setStyleSheet("QLabel { font-size: 10px; color: rgb(0, 0, 20); }");
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setAccessibleName("Cancel reading");
  cancel_->setFlat(true);
  cancel_->setCursor(Qt::PointingHandCursor);
  cancel_->setFocusPolicy(Qt::NoFocus);
  cancel_->setStyleSheet(
      "QPushButton { font-size: 10px; color: rgb(0, 0, 200); text-decoration: underline; "
      "border: none; padding: 0px; background: transparent; }");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addWidget(text_);
  layout->addWidget(cancel_);
  layout->addStretch(1);
  connect(cancel_, &QPushButton::clicked, this, &FileReading::Cancel);
  showTimer_.setSingleShot(true);
  showTimer_.setInterval(kShowLineAfterMs);
  connect(&showTimer_, &QTimer::timeout, this, [this] { setVisible(Busy()); });
  hide();

  // The reader calls these on its own thread; the work is queued to this
  // object's thread, where the answers keep their order.
  reader_ = std::make_unique<SourceReader>(
      installation, shell,
      [this](const SourceReader::Answer& answer) {
        QMetaObject::invokeMethod(this, [this, answer] { OnAnswer(answer); },
                                  Qt::QueuedConnection);
      },
      [this] { QMetaObject::invokeMethod(this, [this] { OnIdle(); }, Qt::QueuedConnection); });
}

FileReading::~FileReading() { reader_->Abort(); }

void FileReading::Read(const std::vector<std::string>& paths, const AddContext& context) {
  std::vector<std::string> fresh;
  for (const std::string& path : paths)
    if (queued_.insert(path).second) fresh.push_back(path);
  if (fresh.empty()) return;
  if (batches_.empty()) total_ = answered_ = 0;  // a reading of its own
  const int id = nextBatch_++;
  Batch& batch = batches_[id];
  batch.context = context;
  batch.hasGridTexts = context.gridTexts != nullptr;
  if (batch.hasGridTexts) batch.gridTexts = *context.gridTexts;
  if (cancelling_) total_ = answered_ + 1;  // the file still being read
  cancelling_ = false;
  total_ += fresh.size();
  ShowProgress();
  if (!showTimer_.isActive() && !isVisible()) showTimer_.start();
  reader_->Read(fresh, id);
}

bool FileReading::Busy() const { return !batches_.empty(); }

void FileReading::Cancel() {
  if (!Busy()) return;
  reader_->Cancel();
  cancelling_ = true;
  queued_.clear();
  ShowProgress();
}

void FileReading::Abort() {
  Cancel();
  reader_->Abort();
  // Answers still on their way find no batch and add nothing.
  batches_.clear();
  showTimer_.stop();
  hide();
}

QString FileReading::LineText() const { return text_->text(); }

void FileReading::OnAnswer(const SourceReader::Answer& answer) {
  ++answered_;
  queued_.erase(answer.path);
  auto batch = batches_.find(answer.batch);
  if (batch != batches_.end()) {
    // A copy: the handler may show a message, and the reading may end under it.
    const Batch own = batch->second;
    AddContext context = own.context;
    context.gridTexts = own.hasGridTexts ? &own.gridTexts : nullptr;
    onAnswer_(answer.path, answer.facts, context);
  }
  ShowProgress();
}

void FileReading::OnIdle() {
  // A reading started again since this idle was told is still going.
  if (reader_->Busy()) return;
  batches_.clear();
  queued_.clear();
  total_ = answered_ = 0;
  cancelling_ = false;
  showTimer_.stop();
  hide();
  emit finished();
}

void FileReading::ShowProgress() {
  if (cancelling_) {
    text_->setText("Stopping after the file being read…");
    cancel_->setEnabled(false);
    return;
  }
  cancel_->setEnabled(true);
  const std::size_t shown = std::min(answered_ + 1, total_);
  text_->setText(QString("Reading %1 of %2…").arg(shown).arg(total_));
}

}  // namespace orv
