#include "ui/display_fltk.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>

#if defined(__SANITIZE_ADDRESS__)
// FLTK's text drawing keeps font patterns from fontconfig that it never frees; they are the
// library's, not ours, and every program that draws text would otherwise fail the leak check.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace kavri::fltk_ui {

bool open_display() {
  if (fl_display != nullptr) return true;  // a toolkit made earlier opened it already
  // One connection, checked and then given to FLTK: opening a second time could meet a
  // server that went away in between, and FLTK would end the process.
  Display* display = XOpenDisplay(nullptr);  // DISPLAY from the environment
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

void keep_in_front_of(Fl_Window& window, Fl_Window& owner) {
  XSetTransientForHint(fl_display, fl_xid(&window), fl_xid(&owner));
}

}  // namespace kavri::fltk_ui
