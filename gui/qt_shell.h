// Shell on Qt: message boxes, file and folder dialogs, links, power-off.
// Safe to call from any thread: calls from other threads run on the GUI
// thread and wait for it.
#pragma once

#include <QString>
#include <QWidget>

#include "platform/shell.h"

namespace orv {

class QtShell : public Shell {
 public:
  explicit QtShell(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Message(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::vector<std::string> OpenFiles(const FileDialogOptions& options) override;
  std::string SaveFile(const FileDialogOptions& options) override;
  bool InputText(const std::string& title, const std::string& prompt, std::string* text) override;
  std::string ChooseFolder(const std::string& title, const std::string& start) override;
  std::string ChooseFolderShowing(const std::string& title, const std::string& start,
                                  const std::string& shown) override;
  bool MessageOffering(const std::string& text, const std::string& caption,
                       const std::string& button) override;
  bool ChooseColour(unsigned* rgb) override;
  bool ChooseFont(std::string* face) override;
  void OpenUrl(const std::string& url) override;
  bool CountDownToPowerOff(const std::string& endText, int seconds) override;
  void PowerOff() override;

 private:
  QWidget* owner_;
};

// The message OpenUrl shows when no program opened the address.
QString NoHandlerText(const QString& url);

// "desc|pat;pat|desc|pat||" in Qt's "desc (pat pat);;desc (pat)" form.
QString QtFilterText(const std::string& filter);

// The dialog colours every dialog and message box uses.
void ApplyDialogColours();

}  // namespace orv
