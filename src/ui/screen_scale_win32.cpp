#include "ui/screen_scale_win32.h"

namespace kavri::win32_ui {
namespace {

using DpiForWindowCall = UINT(WINAPI*)(HWND);
using DpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using MetricForDpiCall = int(WINAPI*)(int, UINT);
using ParametersForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

// The per-monitor calls of Windows 8.1 and 10, looked up once; null where the system lacks
// them (the programs still start on Windows 7).
struct PerMonitorCalls {
  DpiForWindowCall dpi_for_window = nullptr;
  DpiForMonitorCall dpi_for_monitor = nullptr;
  AdjustForDpiCall adjust_for_dpi = nullptr;
  MetricForDpiCall metric_for_dpi = nullptr;
  ParametersForDpiCall parameters_for_dpi = nullptr;
};

template <typename Call>
Call look_up(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through void (*)(), the type that any function pointer converts to and back from.
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const PerMonitorCalls& per_monitor_calls() {
  static const PerMonitorCalls calls = [] {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    const HMODULE shell_scaling = LoadLibraryW(L"shcore.dll");
    PerMonitorCalls found;
    found.dpi_for_window = look_up<DpiForWindowCall>(user, "GetDpiForWindow");
    found.dpi_for_monitor = look_up<DpiForMonitorCall>(shell_scaling, "GetDpiForMonitor");
    found.adjust_for_dpi = look_up<AdjustForDpiCall>(user, "AdjustWindowRectExForDpi");
    found.metric_for_dpi = look_up<MetricForDpiCall>(user, "GetSystemMetricsForDpi");
    found.parameters_for_dpi = look_up<ParametersForDpiCall>(user, "SystemParametersInfoForDpi");
    return found;
  }();
  return calls;
}

UINT system_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : LAYOUT_DPI;
}

// A length that the system gave at its own DPI, at `dpi`.
int from_system_dpi(int length, UINT dpi) {
  return MulDiv(length, static_cast<int>(dpi), static_cast<int>(system_dpi()));
}

}  // namespace

int scaled(int length, UINT dpi) {
  return MulDiv(length, static_cast<int>(dpi), static_cast<int>(LAYOUT_DPI));
}

Rect scaled(const Rect& rect, UINT dpi) {
  return {scaled(rect.x, dpi), scaled(rect.y, dpi), scaled(rect.w, dpi), scaled(rect.h, dpi)};
}

UINT window_dpi(HWND window) {
  const auto call = per_monitor_calls().dpi_for_window;
  const UINT dpi = call != nullptr ? call(window) : 0;
  return dpi > 0 ? dpi : system_dpi();
}

MonitorScale monitor_scale_at(POINT point) {
  MonitorScale scale{system_dpi(), {}};
  const HMONITOR monitor = MonitorFromPoint(point, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) scale.origin = {info.rcMonitor.left, info.rcMonitor.top};
  UINT x = 0, y = 0;
  constexpr int EFFECTIVE_DPI = 0;  // the DPI the user chose for that monitor
  const auto call = per_monitor_calls().dpi_for_monitor;
  if (call != nullptr && SUCCEEDED(call(monitor, EFFECTIVE_DPI, &x, &y)) && x > 0) scale.dpi = x;
  return scale;
}

SIZE outer_size(int client_width, int client_height, DWORD style, UINT dpi) {
  RECT outer{0, 0, client_width, client_height};
  const auto call = per_monitor_calls().adjust_for_dpi;
  if (call == nullptr || !call(&outer, style, FALSE, 0, dpi)) {
    AdjustWindowRectEx(&outer, style, FALSE, 0);
  }
  return {outer.right - outer.left, outer.bottom - outer.top};
}

int system_metric(int index, UINT dpi) {
  const auto call = per_monitor_calls().metric_for_dpi;
  return call != nullptr ? call(index, dpi) : from_system_dpi(GetSystemMetrics(index), dpi);
}

LOGFONTW message_font(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  const auto call = per_monitor_calls().parameters_for_dpi;
  if (call != nullptr && call(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &metrics.lfMessageFont);
  }
  metrics.lfMessageFont.lfHeight = from_system_dpi(metrics.lfMessageFont.lfHeight, dpi);
  return metrics.lfMessageFont;
}

}  // namespace kavri::win32_ui
