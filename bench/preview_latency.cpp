// Play -> first picture painted in the panel, and Stop -> no engine left,
// through the main window's own commands (no input tool in the way, so the
// same on X11 and Wayland), ten tries each; medians in milliseconds.
// Usage: preview_latency WORK_FOLDER CLIP (WORK_FOLDER holds orvantic-engine).
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "gui/main_window_ids.h"
#include "gui/qt_shell.h"
#include "gui/source_list_ctrl.h"
#include "platform/process_list.h"
#include "gui/preview/video_panel.h"

namespace {

// Runs the event loop until done() or ms pass; the milliseconds it took.
template <typename Done>
double WaitFor(Done done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 1);
  return t.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Pause(int ms) { WaitFor([] { return false; }, ms); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: preview_latency WORK_FOLDER CLIP\n");
    return 2;
  }
  using namespace orv;
  Installation installation;
  installation.programFolder = installation.engineFolder = std::string(argv[1]) + "/";
  AppSettings settings{1, std::string(argv[1]) + "/out"};
  QtShell shell;
  MainWindow window(installation, settings, shell);
  window.SetExitHook([](int) {});
  window.show();
  window.AddPaths({argv[2]});
  WaitFor([&] { return !window.Reading() && window.items().size() == 1; }, 10000);
  window.list()->SelectRow(0);
  auto* panel = static_cast<VideoPanel*>(window.Control(ids::kVideoPanel));
  const std::string engine = installation.EngineLocation();
  std::vector<double> plays, stops;
  for (int i = 0; i < 10; ++i) {
    QElapsedTimer t;
    t.start();
    window.OnCommand(ids::kPlayPause);
    WaitFor([&] { return !panel->Picture().isNull(); }, 10000);
    plays.push_back(t.nsecsElapsed() / 1e6);
    Pause(1000);
    t.restart();
    window.OnCommand(ids::kStopPlaying);
    WaitFor([&] { return !IsEngineRunning(engine); }, 10000);
    stops.push_back(t.nsecsElapsed() / 1e6);
    Pause(500);
  }
  std::printf("%s: Play -> first picture median %.0f ms, Stop -> engine gone median %.0f ms\n",
              qPrintable(QGuiApplication::platformName()), Median(plays), Median(stops));
  return 0;
}
