// The native controls behind each control kind, and the program's fonts, for the Win32
// toolkit backend. Control IDs are the control numbers.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "ui/gauge_faces_win32.h"
#include "ui/toolkit.h"

namespace kavri::win32_ui {

// The three fonts, made once. "@Dotum" 16 and "Arial" 20 where the system has them; where it
// has not, the system's message font face at those sizes, so the sizes still hold.
class Fonts {
 public:
  Fonts();
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  HFONT get(FontId font) const;
  // `font`, or the same face made smaller until `text` fits the caption room of `control` (a
  // label, button or check box, already placed): a system font wider than the one the windows
  // were laid out with must not cut or wrap a caption the layout gave one box.
  HFONT fitting(FontId font, HWND control, ControlKind kind, const std::wstring& text);

 private:
  HFONT standard_, small_, large_;
  std::map<std::pair<FontId, LONG>, HFONT> smaller_;  // by font and height, made on first use
};

// Creates the native control of `spec` in `parent` at its client rectangle, with its text and
// enabled state; value, range, items and font are set by the caller. Dials and lamps draw
// `face`, which must outlive the control.
HWND create_native_control(HWND parent, const ControlSpec& spec, GaugeFace* face);

}  // namespace kavri::win32_ui
