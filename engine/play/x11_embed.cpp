#include "engine/play/x11_embed.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace orv::engine {
namespace {

std::atomic<int> g_lastXError{0};

int RecordXError(Display*, XErrorEvent* event) {
  g_lastXError = event->error_code ? event->error_code : -1;
  return 0;
}

Display* D(void* display) { return static_cast<Display*>(display); }

// Runs one request with errors caught; true when the server took it.
template <typename Request>
bool Checked(Display* display, Request request) {
  XSync(display, False);
  g_lastXError = 0;
  XErrorHandler previous = XSetErrorHandler(RecordXError);
  Status status = request();
  XSync(display, False);
  XSetErrorHandler(previous);
  return status != 0 && g_lastXError == 0;
}

}  // namespace

std::unique_ptr<X11Embed> X11Embed::Open(unsigned long parentId, std::string& error) {
  // A busy server may turn a connection away for a moment; without any
  // display named there is nothing to wait for.
  const char* name = std::getenv("DISPLAY");
  Display* display = XOpenDisplay(nullptr);
  for (int i = 0; !display && name && *name && i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    display = XOpenDisplay(nullptr);
  }
  if (!display) {
    error = "cannot open the X display";
    return nullptr;
  }
  std::unique_ptr<X11Embed> embed(new X11Embed);
  embed->display_ = display;
  embed->parent_ = parentId;
  XWindowAttributes attributes{};
  if (parentId == 0 ||
      !Checked(display, [&] { return XGetWindowAttributes(display, parentId, &attributes); })) {
    error = "window " + std::to_string(parentId) + " does not exist";
    return nullptr;
  }
  embed->width_ = attributes.width > 0 ? attributes.width : 1;
  embed->height_ = attributes.height > 0 ? attributes.height : 1;
  const unsigned long black = BlackPixel(display, DefaultScreen(display));
  Window child = 0;
  if (!Checked(display, [&] {
        child = XCreateSimpleWindow(display, parentId, 0, 0, static_cast<unsigned>(embed->width_),
                                    static_cast<unsigned>(embed->height_), 0, black, black);
        if (child) XMapWindow(display, child);
        return child ? 1 : 0;
      })) {
    error = "cannot create a window inside window " + std::to_string(parentId);
    return nullptr;
  }
  embed->child_ = child;
  return embed;
}

X11Embed::~X11Embed() {
  if (!display_) return;
  Display* display = D(display_);
  if (child_) Checked(display, [&] { return XDestroyWindow(display, child_); });
  XCloseDisplay(display);
}

bool X11Embed::update(bool& resized) {
  resized = false;
  Display* display = D(display_);
  XWindowAttributes attributes{};
  if (!Checked(display, [&] { return XGetWindowAttributes(display, parent_, &attributes); }))
    return false;
  if (attributes.width != width_ || attributes.height != height_) {
    width_ = attributes.width > 0 ? attributes.width : 1;
    height_ = attributes.height > 0 ? attributes.height : 1;
    XResizeWindow(display, child_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XSync(display, False);
    resized = true;
  }
  return true;
}

void X11Embed::InstallQuietErrorHandler() { XSetErrorHandler(RecordXError); }

}  // namespace orv::engine
