// What the play-mode tests share: an Xvfb server of their own (started once
// per test program; the tests skip where none can be started), a panel window
// standing in for the GUI's video panel, and waiting helpers.
#pragma once

#include "tests/e2e/engine_harness.h"

// Xlib's macros (None, Bool, Status) would clash with the test framework's
// names, so it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>

namespace orv_engine_test {

inline pid_t g_xvfb = -1;
inline std::string g_display;

class XvfbEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    for (int n = 150 + getpid() % 50; n < 260 && g_xvfb < 0; n += 7) {
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      std::string display = ":" + std::to_string(n);
      std::vector<std::string> args{"Xvfb",       display,     "-screen", "0",
                                    "640x480x24", "-nolisten", "tcp"};
      const pid_t pid = spawnQuiet(args);
      if (pid < 0) return;
      for (int i = 0; i < 100; ++i) {
        if (Display* d = XOpenDisplay(display.c_str())) {
          XCloseDisplay(d);
          g_xvfb = pid;
          g_display = display;
          setenv("DISPLAY", display.c_str(), 1);
          return;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) break;  // display taken: try the next
        std::this_thread::sleep_for(50ms);
      }
      if (g_xvfb < 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
      }
    }
  }
  void TearDown() override {
    if (g_xvfb > 0) {
      kill(g_xvfb, SIGTERM);
      waitpid(g_xvfb, nullptr, 0);
    }
  }
};
[[maybe_unused]] inline testing::Environment* const g_xenv =
    testing::AddGlobalTestEnvironment(new XvfbEnvironment);

struct Rgb {
  int r, g, b;
};

// The GUI's video panel: a plain window of its own.
class Panel {
 public:
  Panel(int width, int height) {
    // A busy server may turn a connection away for a moment.
    for (int i = 0; i < 50 && !(display_ = XOpenDisplay(g_display.c_str())); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!display_) {
      ADD_FAILURE() << "cannot open the test display " << g_display;
      return;
    }
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, width, height, 0, 0,
                                  0x000102);  // the GUI's colour key
    XMapWindow(display_, window_);
    XSync(display_, False);
  }
  ~Panel() {
    destroy();
    if (display_) XCloseDisplay(display_);
  }
  unsigned long id() const { return window_; }
  void destroy() {
    if (!window_) return;
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    window_ = 0;
  }
  Rgb pixel(int x, int y) const {
    if (!display_ || !window_) return {-1, -1, -1};
    XImage* image = XGetImage(display_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
            static_cast<int>(p & 0xff)};
  }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
};

inline bool near(const Rgb& a, const Rgb& b, int tolerance = 40) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

inline std::string show(const Rgb& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

inline bool waitUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return ready();
}

inline bool exited(Engine& e, int& status) {
  int raw = 0;
  if (waitpid(e.pid, &raw, WNOHANG) != e.pid) return false;
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  e.pid = -1;
  return true;
}

}  // namespace orv_engine_test
