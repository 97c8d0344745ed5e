// The virtual panel's dials and lamps on Windows: child windows of a class of their own,
// painted with GDI from the state they point to. Used by the Win32 toolkit backend only.
#pragma once

#include <windows.h>

#include <string>

#include "ui/toolkit.h"

namespace kavri::win32_ui {

// What a face shows. The toolkit owns it and repaints the face after changing it.
struct GaugeFace {
  ControlKind kind = ControlKind::dial;  // dial or lamp
  int min = 0, max = 0, value = 0;
  std::wstring caption;
  HFONT font = nullptr;
};

// Registers the faces' window class (once per process); its name, for CreateWindowExW, whose
// last argument must then be the GaugeFace, which must outlive the window.
const wchar_t* gauge_face_class();

}  // namespace kavri::win32_ui
