// The reading of added files, seen from the window: a SourceReader whose
// answers come to the window's thread in order, and the line under the list
// that says "Reading 37 of 100…" with a Cancel link while it goes on.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/list/source_reader.h"
#include "core/settings/source_list.h"

class QLabel;
class QPushButton;

namespace orv {

// What a command that needs the list or the engine says while files are read.
inline constexpr const char* kReadingRefusal =
    "Files are still being read into the list. Please wait until they are all in, or cancel "
    "the reading.";

class FileReading : public QWidget {
  Q_OBJECT
 public:
  // Called on the window's thread for each file read, in the order queued,
  // with the context it was queued under.
  using AnswerFn =
      std::function<void(const std::string& path, const FileAnswer&, const AddContext&)>;

  FileReading(const Installation& installation, Shell& shell, AnswerFn onAnswer,
              QWidget* parent);
  ~FileReading() override;

  // Queues the files not queued already, behind those still to be read.
  void Read(const std::vector<std::string>& paths, const AddContext& context);
  // Files are queued or being read (answers not yet handed over count too).
  bool Busy() const;
  // Stops after the file being read; rows already added stay.
  void Cancel();
  // Cancel, end the engine in flight, wait for the reading thread.
  void Abort();

  QString LineText() const;
  QPushButton* cancelButton() const { return cancel_; }

 signals:
  // The reading is over: everything answered, or cancelled.
  void finished();

 private:
  void OnAnswer(const SourceReader::Answer& answer);
  void OnIdle();
  void ShowProgress();

  struct Batch {
    AddContext context;
    ConversionSettings gridTexts;  // context.gridTexts points here when used
    bool hasGridTexts = false;
  };
  AnswerFn onAnswer_;
  std::map<int, Batch> batches_;
  std::set<std::string> queued_;
  int nextBatch_ = 0;
  std::size_t total_ = 0;
  std::size_t answered_ = 0;
  bool cancelling_ = false;
  QLabel* text_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer showTimer_;
  std::unique_ptr<SourceReader> reader_;
};

}  // namespace orv
