// The screen's scale for the Win32 toolkit backend. The windows are laid out in pixels of a
// 96-DPI screen; a program aware of each monitor's DPI draws them at that monitor's scale,
// DPI / 96, so that they stay sharp and keep their proportions at 125, 150 or 200 %. The calls
// that tell a window's or a monitor's DPI came with Windows 8.1 and 10: on an older system
// they fall back to the system's one DPI.
#pragma once

#include <windows.h>

#include "ui/toolkit.h"

namespace kavri::win32_ui {

constexpr UINT LAYOUT_DPI = 96;

// A length of the layout at `dpi`, rounded to the nearest pixel.
int scaled(int length, UINT dpi);
Rect scaled(const Rect& rect, UINT dpi);

// The DPI that `window` is drawn at now.
UINT window_dpi(HWND window);

// The DPI of the monitor that holds `point` (the primary one when none does), and that
// monitor's top-left corner.
struct MonitorScale {
  UINT dpi = LAYOUT_DPI;
  POINT origin{};
};
MonitorScale monitor_scale_at(POINT point);

// The outer size of a window of `style` whose client area is `client_width` by
// `client_height` at `dpi`: frame and title bar drawn at that DPI.
SIZE outer_size(int client_width, int client_height, DWORD style, UINT dpi);

// The system's metric `index` (GetSystemMetrics) at `dpi`.
int system_metric(int index, UINT dpi);

// The system's message font at `dpi`.
LOGFONTW message_font(UINT dpi);

}  // namespace kavri::win32_ui
