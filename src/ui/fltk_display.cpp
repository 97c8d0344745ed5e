#include "ui/fltk_display.h"

#if defined(_WIN32) || defined(__APPLE__)

namespace kavri::fltk_ui {

bool display_available() { return true; }  // the desktop is always there

}  // namespace kavri::fltk_ui

#else

#include <X11/Xlib.h>

namespace kavri::fltk_ui {

bool display_available() {
  Display* display = XOpenDisplay(nullptr);  // DISPLAY from the environment
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace kavri::fltk_ui

#endif
