// Opening the display for FLTK. FLTK's own opening ends the process when there is no display,
// so the backend opens it itself and hands the open connection over.
#pragma once

class Fl_Window;

namespace kavri::fltk_ui {

// True when FLTK now has an open display; false, and nothing changed, when none can be opened.
bool open_display();

// Asks the window manager to keep `window` (shown) in front of `owner` (shown) and with it, as
// a dialog of that window.
void keep_in_front_of(Fl_Window& window, Fl_Window& owner);

}  // namespace kavri::fltk_ui
