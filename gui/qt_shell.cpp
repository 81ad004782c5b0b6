#include "gui/qt_shell.h"

#include <QApplication>
#include <QColorDialog>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include "gui/folder_chooser.h"
#include "gui/gui_thread.h"
#include "gui/main_window_dialogs.h"
#include "gui/message_box.h"
#include "gui/power_off_countdown.h"
#include "core/settings/option_tables.h"

namespace orv {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void ApplyDialogColours() {
  qApp->setStyleSheet(
      "QDialog, QMessageBox, QInputDialog, QFileDialog { background-color: rgb(213, 224, 240); "
      "color: black; } QMessageBox QLabel, QDialog QLabel { color: black; }"
      // Wide enough that the caption of a short message stays readable.
      " QMessageBox QLabel#qt_msgbox_label { min-width: 220px; }");
}

QString QtFilterText(const std::string& filter) {
  std::vector<std::string> parts = SplitOptionList(filter);
  QStringList entries;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;
    QString patterns = Q(parts[i + 1]).replace(';', ' ');
    entries << Q(parts[i]) + " (" + patterns + ")";
  }
  return entries.join(";;");
}

void QtShell::Message(const std::string& text, const std::string& caption) {
  // Plain OK boxes carry no icon; the program's questions are all warnings.
  OnGuiThread([&] {
    MessageDialog box(owner_, Q(caption), Q(text), MessageDialog::Kind::Ok, false);
    box.exec();
  });
}

bool QtShell::MessageOffering(const std::string& text, const std::string& caption,
                              const std::string& button) {
  return OnGuiThread([&] {
    MessageDialog box(owner_, Q(caption), Q(text), MessageDialog::Kind::Ok, false, Q(button));
    box.exec();
    return box.ChoseExtra();
  });
}

bool QtShell::AskOkCancel(const std::string& text, const std::string& caption) {
  return OnGuiThread([&] {
    MessageDialog box(owner_, Q(caption), Q(text), MessageDialog::Kind::OkCancel, true);
    return box.exec() == QDialog::Accepted;
  });
}

std::vector<std::string> QtShell::OpenFiles(const FileDialogOptions& o) {
  return OnGuiThread([&] {
    std::vector<std::string> out;
    QStringList files;
    if (o.multiSelect) {
      files = QFileDialog::getOpenFileNames(owner_, Q(o.title), Q(o.startFolder),
                                            QtFilterText(o.filter));
    } else {
      QString f = QFileDialog::getOpenFileName(owner_, Q(o.title), Q(o.startFolder),
                                               QtFilterText(o.filter));
      if (!f.isEmpty()) files << f;
    }
    for (const auto& f : files) out.push_back(f.toStdString());
    return out;
  });
}

std::string QtShell::SaveFile(const FileDialogOptions& o) {
  return OnGuiThread([&] {
    QFileDialog dialog(owner_, Q(o.title), Q(o.startFolder), QtFilterText(o.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Q(o.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return dialog.selectedFiles().first().toStdString();
  });
}

bool QtShell::InputText(const std::string& title, const std::string& prompt, std::string* text) {
  return OnGuiThread([&] {
    TextEntryDialog dialog(Q(title), Q(prompt), Q(*text), owner_);
    if (dialog.exec() != QDialog::Accepted) return false;
    *text = dialog.Text().toStdString();
    return true;
  });
}

std::string QtShell::ChooseFolder(const std::string& title, const std::string& start) {
  return ChooseFolderShowing(title, start, "");
}

std::string QtShell::ChooseFolderShowing(const std::string& title, const std::string& start,
                                         const std::string& shown) {
  return OnGuiThread([&] {
    FolderChooser chooser(owner_, title);
    chooser.SetInitialFolder(start);
    chooser.SetShownFolder(shown);
    return chooser.Run() ? chooser.ChosenFolder() : std::string();
  });
}

bool QtShell::ChooseColour(unsigned* rgb) {
  return OnGuiThread([&] {
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(*rgb & 0xFFFFFF), owner_);
    if (!chosen.isValid()) return false;
    *rgb = static_cast<unsigned>(chosen.rgb()) & 0xFFFFFF;
    return true;
  });
}

bool QtShell::ChooseFont(std::string* face) {
  return OnGuiThread([&] {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, QFont(Q(*face)), owner_);
    if (ok) *face = font.family().toStdString();
    return ok;
  });
}

QString NoHandlerText(const QString& url) {
  const QUrl parsed(url);
  const QString address = parsed.isLocalFile() ? parsed.toLocalFile()
                          : parsed.scheme() == "mailto" ? parsed.path()
                                                        : url;
  return "No program on this desktop opens this address:\n\n" + address +
         "\n\nPlease open it yourself.";
}

void QtShell::OpenUrl(const std::string& url) {
  OnGuiThread([&] {
    // xdg-open says whether a handler took the address (exit status 0); the
    // answer comes later, so the window does not wait for it.
    const QString address = Q(url);
    auto* opener = new QProcess(qApp);
    opener->setProgram(qEnvironmentVariable("ORVANTIC_URL_OPENER", "xdg-open"));
    opener->setArguments({address});
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QWidget* owner = owner_;
    auto tell = [owner, address] {
      MessageDialog box(owner, kMessageCaption, NoHandlerText(address), MessageDialog::Kind::Ok,
                        false);
      box.exec();
    };
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, tell](int code, QProcess::ExitStatus status) {
                       opener->deleteLater();
                       if (code != 0 || status != QProcess::NormalExit) tell();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, tell](QProcess::ProcessError error) {
                       if (error != QProcess::FailedToStart) return;
                       opener->deleteLater();
                       tell();
                     });
    opener->start();
  });
}

bool QtShell::CountDownToPowerOff(const std::string& endText, int seconds) {
  return OnGuiThread([&] {
    PowerOffCountdown countdown(owner_, Q(endText), seconds);
    return countdown.exec() == QDialog::Accepted;
  });
}

void QtShell::PowerOff() {
  // logind first (no password for the seat's user), then systemctl.
  QDBusInterface logind("org.freedesktop.login1", "/org/freedesktop/login1",
                        "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
  if (logind.isValid()) {
    QDBusMessage reply = logind.call("PowerOff", false);
    if (reply.type() != QDBusMessage::ErrorMessage) return;
  }
  QProcess::startDetached("systemctl", {"poweroff"});
}

}  // namespace orv
