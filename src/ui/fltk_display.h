// Opening the display for FLTK. FLTK's own opening ends the process when there is no display,
// so the backend opens it itself and hands the open connection over.
#pragma once

namespace kavri::fltk_ui {

// True when FLTK now has an open display; false, and nothing changed, when none can be opened.
bool open_display();

}  // namespace kavri::fltk_ui
