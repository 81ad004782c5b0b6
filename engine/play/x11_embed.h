// The engine's own window inside the GUI's video panel. The panel's id comes
// on the command line; it is checked on a private X connection (a bad id is
// an error message, not Xlib's exit), a child window is made inside it and
// kept at the panel's size, and the panel's disappearance is noticed.
#pragma once

#include <memory>
#include <string>

namespace orv::engine {

class X11Embed {
 public:
  // Opens the display, checks parentId, creates and maps the child. Returns
  // null with error set when any of it fails.
  static std::unique_ptr<X11Embed> Open(unsigned long parentId, std::string& error);
  ~X11Embed();
  X11Embed(const X11Embed&) = delete;
  X11Embed& operator=(const X11Embed&) = delete;

  unsigned long child() const { return child_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Follows the parent's size. False once the parent is gone.
  bool update(bool& resized);

  // After a library that sets its own X error handler has started: errors
  // about vanished windows are recorded, never fatal.
  static void InstallQuietErrorHandler();

 private:
  X11Embed() = default;
  void* display_ = nullptr;  // Display*, kept out of this header
  unsigned long parent_ = 0;
  unsigned long child_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace orv::engine
