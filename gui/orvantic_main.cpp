#include <QApplication>

#include <cstdlib>
#include <clocale>
#include <string>
#include <vector>

#include "console/console_mode.h"
#include "gui/desktop_bus.h"
#include "gui/main_window.h"
#include "gui/qt_shell.h"
#include "platform/installation.h"
#include "platform/instance_lock.h"
#include "core/settings/app_settings.h"

int main(int argc, char** argv) {
  const orv::Installation installation = orv::CurrentInstallation();
  // The engine reads its drive letters from the same settings file, wherever
  // this copy keeps it.
  ::setenv(orv::kSettingsFileVariable, installation.SettingsFilePath().c_str(), 1);
  // Read, then write at once, so the file always holds both keys.
  orv::AppSettings settings = orv::ReadSettings(installation.SettingsFilePath());
  orv::WriteSettings(settings, installation.SettingsFilePath());

  std::vector<std::string> args(argv + 1, argv + argc);
  if (orv::WantsConsoleMode(args)) {
    // Only for the buses: the console run needs no event loop.
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    orv::DesktopBus desktop(nullptr);
    return orv::RunConsole(args, installation, settings, &desktop);
  }

  QApplication app(argc, argv);
  // Qt takes the locale from the environment; numbers we write stay in "C".
  std::setlocale(LC_NUMERIC, "C");
  // The colours first, so that even the refusal below looks like our boxes.
  orv::ApplyDialogColours();
  orv::QtShell shell;
  orv::InstanceLock lock(orv::InstanceLockName(installation.programFolder));
  if (!lock.Held()) {
    shell.Message("Already running!", orv::kMessageCaption);
    return 0;
  }
  orv::DesktopBus desktop([&shell](const std::string& url) { shell.OpenUrl(url); });
  {
    orv::MainWindow window(installation, settings, shell);
    shell.SetOwner(&window);
    window.SetDesktop(&desktop);
    // Files given on the command line (a file manager's "Open With") are
    // added as Add File adds them, once the window is up.
    // Qt has taken its own options (-platform ...) out of these by now.
    std::vector<std::string> files;
    const QStringList qtArgs = QCoreApplication::arguments();
    for (qsizetype i = 1; i < qtArgs.size(); ++i)
      if (!qtArgs[i].isEmpty() && !qtArgs[i].startsWith('-')) files.push_back(qtArgs[i].toStdString());
    if (!files.empty())
      QMetaObject::invokeMethod(&window, [&window, files] { window.AddPaths(files); },
                                Qt::QueuedConnection);
    window.exec();
  }
  return 0;
}
