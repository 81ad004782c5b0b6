// Everything that talks to the user or the desktop goes through Shell: message
// boxes, file and folder dialogs, opening links, and the power-off request.
// The GUI has a Qt implementation; tests script the answers.
#pragma once

#include <string>
#include <vector>

namespace orv {

inline constexpr const char* kMessageCaption = "orvantic";

struct FileDialogOptions {
  std::string filter;            // "desc|pattern;pattern|desc|pattern||"
  std::string defaultExtension;  // for save dialogs, without the dot
  std::string title;
  std::string startFolder;  // empty: the dialog's own choice
  bool multiSelect = false;
};

class Shell {
 public:
  virtual ~Shell() = default;

  // A modal box with an OK button.
  virtual void Message(const std::string& text, const std::string& caption = kMessageCaption) = 0;
  // A modal box with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
  // Open-file dialog; an empty result means Cancel.
  virtual std::vector<std::string> OpenFiles(const FileDialogOptions& options) = 0;
  // Save-file dialog with an overwrite prompt; empty means Cancel.
  virtual std::string SaveFile(const FileDialogOptions& options) = 0;
  // A one-line text entry; false means Cancel.
  virtual bool InputText(const std::string& title, const std::string& prompt,
                         std::string* text) = 0;
  // Folder chooser; empty means Cancel.
  virtual std::string ChooseFolder(const std::string& title, const std::string& start) = 0;
  // The same chooser showing the folder `shown` (expanded and scrolled to,
  // not selected) when it opens.
  virtual std::string ChooseFolderShowing(const std::string& title, const std::string& start,
                                          const std::string& shown) {
    (void)shown;
    return ChooseFolder(title, start);
  }
  // A message with OK and one more button named `button`; true when that
  // button closed it.
  virtual bool MessageOffering(const std::string& text, const std::string& caption,
                               const std::string& button) {
    (void)button;
    Message(text, caption);
    return false;
  }
  // Colour chooser starting at *rgb (0xRRGGBB); false means Cancel.
  virtual bool ChooseColour(unsigned* rgb) = 0;
  // Font chooser; *face gets the chosen family. False means Cancel.
  virtual bool ChooseFont(std::string* face) = 0;
  // Opens a web, mail or file address with the desktop's handler; when none
  // opens it, says so with the address.
  virtual void OpenUrl(const std::string& url) = 0;
  // Shows endText with a countdown of `seconds` and a Cancel button before
  // a power-off; true when it ran out, false when the user cancelled.
  virtual bool CountDownToPowerOff(const std::string& endText, int seconds) {
    (void)endText;
    (void)seconds;
    return true;
  }
  // Asks the system to power the machine off.
  virtual void PowerOff() = 0;
};

}  // namespace orv
