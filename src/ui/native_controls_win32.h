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

// The three fonts at each DPI a window is drawn at, made on first use. "@Dotum" 16 and
// "Arial" 20 (pixels at 96 DPI) where the system has them; where it has not, the system's
// message font face at those sizes, so the sizes still hold.
class Fonts {
 public:
  Fonts() = default;
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  HFONT get(FontId font, UINT dpi);
  // `font`, or the same face made smaller until `text` fits the caption room of `control` (a
  // label, button or check box, already placed): a system font wider than the one the windows
  // were laid out with must not cut or wrap a caption the layout gave one box.
  HFONT fitting(FontId font, UINT dpi, HWND control, ControlKind kind, const std::wstring& text);

 private:
  std::map<std::pair<FontId, UINT>, HFONT> fonts_;    // by font and DPI
  std::map<std::pair<FontId, LONG>, HFONT> smaller_;  // by font and height
};

// Creates the native control of `spec` in `parent` at its client rectangle scaled to `dpi`,
// with its text and enabled state; value, range, items and font are set by the caller. Dials
// and lamps draw `face`, which must outlive the control.
HWND create_native_control(HWND parent, const ControlSpec& spec, GaugeFace* face, UINT dpi);

// Moves and sizes `control` to the rectangle of `spec` scaled to `dpi`.
void place_native_control(HWND control, const ControlSpec& spec, UINT dpi);

// Makes a drop-down list (with its font set), closed, as tall as the layout's `height` at
// `dpi`: left to its font, it would stand a few pixels shorter or taller than its row.
void fit_closed_height(HWND drop_down, int height, UINT dpi);

}  // namespace kavri::win32_ui
