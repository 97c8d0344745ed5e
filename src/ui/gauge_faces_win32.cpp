// A dial: graduations over a 270 degree sweep from lower left, clockwise, to lower right, the
// range's ends where there is room, the caption above the hub and the needle at the value's
// place. A lamp: a round light, lit while its value is not 0, its caption to its right when
// the face is wider than tall. Both are drawn into a bitmap first, so a moving needle never
// flickers.
#include "ui/gauge_faces_win32.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavri::win32_ui {
namespace {

// The place of `value` within [min, max] as 0..1; an empty range puts it at the start.
double fraction(double value, double min, double max) {
  if (max <= min) return 0.0;
  return std::clamp((value - min) / (max - min), 0.0, 1.0);
}

// A point at `radius` from the centre in the direction of `fraction_of_sweep` of the sweep.
POINT on_sweep(double cx, double cy, double radius, double fraction_of_sweep) {
  constexpr double kStartDegrees = 225.0, kSweepDegrees = 270.0;
  const double angle = (kStartDegrees - kSweepDegrees * fraction_of_sweep) * std::numbers::pi / 180;
  return {static_cast<LONG>(std::lround(cx + radius * std::cos(angle))),
          static_cast<LONG>(std::lround(cy - radius * std::sin(angle)))};
}

void disc(HDC dc, int left, int top, int diameter, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
  Ellipse(dc, left, top, left + diameter + 1, top + diameter + 1);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(brush);
}

void line(HDC dc, POINT from, POINT to, int width, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void text(HDC dc, const std::wstring& words, RECT box, UINT format, COLORREF colour) {
  SetTextColor(dc, colour);
  DrawTextW(dc, words.c_str(), static_cast<int>(words.size()), &box, format | DT_NOPREFIX);
}

void draw_dial(HDC dc, const GaugeFace& face, RECT area, bool lit) {
  const int w = area.right, h = area.bottom;
  const int d = std::min(w, h) - 2;
  if (d < 10) return;
  const int left = (w - d) / 2, top = (h - d) / 2;
  const double cx = left + d / 2.0, cy = top + d / 2.0;
  disc(dc, left, top, d, RGB(96, 96, 96));  // bezel
  disc(dc, left + 3, top + 3, d - 6, RGB(24, 24, 28));

  const double outer = d / 2.0 - 6;
  const COLORREF marks = lit ? RGB(255, 255, 255) : RGB(110, 110, 110);
  constexpr int kMinorPerMajor = 5, kMajors = 10;
  for (int i = 0; i <= kMajors * kMinorPerMajor; ++i) {
    const bool major = i % kMinorPerMajor == 0;
    const double f = static_cast<double>(i) / (kMajors * kMinorPerMajor);
    line(dc, on_sweep(cx, cy, outer - d * (major ? 0.12 : 0.06), f), on_sweep(cx, cy, outer, f),
         major ? 2 : 1, marks);
  }
  SetBkMode(dc, TRANSPARENT);
  HFONT numbers = CreateFontW(-std::max(8, d / 12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                              DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
  HGDIOBJ old_font = SelectObject(dc, numbers);
  if (d >= 80) {  // the range's ends, where there is room to read them
    for (const auto& [f, number] : {std::pair{0.0, face.min}, std::pair{1.0, face.max}}) {
      const POINT at = on_sweep(cx, cy, outer - d * 0.22, f);
      text(dc, std::to_wstring(number), {at.x - 20, at.y - 8, at.x + 20, at.y + 8},
           DT_CENTER | DT_SINGLELINE | DT_VCENTER, marks);
    }
  }
  SelectObject(dc, face.font != nullptr ? face.font : numbers);
  const int caption_top = static_cast<int>(cy - d * 0.28);
  text(dc, face.caption, {left, caption_top, left + d, caption_top + 20}, DT_CENTER | DT_SINGLELINE,
       marks);
  SelectObject(dc, old_font);
  DeleteObject(numbers);

  const double f = fraction(face.value, face.min, face.max);
  const POINT needle[] = {on_sweep(cx, cy, outer - 2, f), on_sweep(cx, cy, 3.5, f + 0.3333),
                          on_sweep(cx, cy, 3.5, f - 0.3333)};
  HBRUSH brush = CreateSolidBrush(lit ? RGB(255, 130, 0) : RGB(80, 80, 80));
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, needle, 3);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(brush);
  const int hub = std::max(6, d / 10);
  disc(dc, static_cast<int>(cx) - hub / 2, static_cast<int>(cy) - hub / 2, hub, RGB(160, 160, 160));
}

void draw_lamp(HDC dc, const GaugeFace& face, RECT area, bool lit) {
  const int w = area.right, h = area.bottom;
  const int d = std::min(w, h) - 2;
  if (d < 4) return;
  const bool beside = w > h;
  const int left = beside ? 1 : (w - d) / 2, top = (h - d) / 2;
  disc(dc, left, top, d, RGB(0, 0, 0));
  disc(dc, left + 2, top + 2, d - 4, face.value != 0 ? RGB(40, 230, 40) : RGB(70, 70, 70));
  if (face.value != 0 && d >= 10) {  // a highlight, so that lit reads as light, not as paint
    disc(dc, left + d / 4, top + d / 5, d / 4, RGB(200, 255, 200));
  }
  if (beside) {
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old_font = SelectObject(dc, face.font);
    text(dc, face.caption, {left + d + 6, 0, w, h}, DT_LEFT | DT_SINGLELINE | DT_VCENTER,
         GetSysColor(lit ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    SelectObject(dc, old_font);
  }
}

void paint(HWND window) {
  PAINTSTRUCT paint_info;
  HDC target = BeginPaint(window, &paint_info);
  const auto* face = reinterpret_cast<const GaugeFace*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  RECT area;
  GetClientRect(window, &area);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, area.right, area.bottom);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (face != nullptr) {
    const bool lit = IsWindowEnabled(window) != FALSE;
    if (face->kind == ControlKind::lamp) {
      draw_lamp(dc, *face, area, lit);
    } else {
      draw_dial(dc, *face, area, lit);
    }
  }
  BitBlt(target, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(window, &paint_info);
}

LRESULT CALLBACK face_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // paint() covers every pixel
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

const wchar_t* gauge_face_class() {
  static const wchar_t* const name = [] {
    WNDCLASSEXW face_class{};
    face_class.cbSize = sizeof face_class;
    face_class.lpfnWndProc = face_procedure;
    face_class.hInstance = GetModuleHandleW(nullptr);
    face_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    face_class.lpszClassName = L"KavriGaugeFace";
    RegisterClassExW(&face_class);
    return L"KavriGaugeFace";
  }();
  return name;
}

}  // namespace kavri::win32_ui
