// The main window most widget tests start from: shown, over an engine
// installed in a folder of its own, with outputs going to its "out".
#pragma once

#include "core/settings/app_settings.h"
#include "gui/main_window.h"
#include "platform/installation.h"
#include "tests/support/test_support.h"

namespace orv::test {

template <typename ShellType>
struct ShownWindow {
  ShownWindow(const char* engine, int overwrite)
      : installation(InstallEngine(dir.path(), engine)),
        settings{overwrite, dir / "out"},
        window(installation, settings, shell) {
    window.SetExitHook([](int) {});
    window.show();
  }

  TempDir dir;
  Installation installation;
  AppSettings settings;
  ShellType shell;
  MainWindow window;
};

}  // namespace orv::test
