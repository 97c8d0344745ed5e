#include "ui/fltk_display.h"

#include <FL/x.H>

namespace kavri::fltk_ui {

#if defined(_WIN32) || defined(__APPLE__)

bool open_display() {
  fl_open_display();  // the desktop is always there
  return true;
}

#else

bool open_display() {
  if (fl_display != nullptr) return true;  // a toolkit made earlier opened it already
  // One connection, checked and then given to FLTK: opening a second time could meet a
  // server that went away in between, and FLTK would end the process.
  Display* display = XOpenDisplay(nullptr);  // DISPLAY from the environment
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

#endif

}  // namespace kavri::fltk_ui
