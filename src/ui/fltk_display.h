// Whether a display can be opened. FLTK's own display opening ends the process when it fails,
// so the backend asks this first.
#pragma once

namespace kavri::fltk_ui {

bool display_available();

}  // namespace kavri::fltk_ui
