#include "ui/native_controls_win32.h"

// windows.h (through the header) first: the common controls header needs its types.
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "base/utf16_text.h"
#include "ui/screen_scale_win32.h"

namespace kavri::win32_ui {
namespace {

struct Native {
  const wchar_t* window_class;
  DWORD style;
  DWORD extended_style = 0;
};

DWORD label_alignment(Align align) {
  switch (align) {
    case Align::center:
      return SS_CENTER;
    case Align::right:
      return SS_RIGHT;
    case Align::left:
      break;
  }
  return SS_LEFT;
}

// The class and styles of each kind. Labels show '&' as it is; a drop-down list offers a fixed
// choice; a trackbar with a tick step carries a mark at every step.
Native native_of(const ControlSpec& spec) {
  switch (spec.kind) {
    case ControlKind::label:
      return {L"STATIC", SS_NOPREFIX | label_alignment(spec.align)};
    case ControlKind::text_field:
      return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
    case ControlKind::drop_down:
      return {L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST};
    case ControlKind::slider:
      return {TRACKBAR_CLASSW,
              static_cast<DWORD>(WS_TABSTOP | TBS_HORZ |
                                 (spec.tick_step > 0 ? TBS_AUTOTICKS | TBS_BOTTOM : TBS_NOTICKS))};
    case ControlKind::button:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON};
    case ControlKind::check_box:
      return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX};
    case ControlKind::progress_bar:
      return {PROGRESS_CLASSW, PBS_SMOOTH};
    case ControlKind::dial:
    case ControlKind::lamp:
      return {gauge_face_class(), 0};
  }
  return {L"STATIC", SS_LEFT};
}

bool face_installed(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(
      screen, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) -> int {
        *reinterpret_cast<bool*>(seen) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// `font` at `dpi`: the message font, or `face` at a cell height of `height` layout pixels
// (the message font's face where the system lacks it).
HFONT make_font(FontId font, UINT dpi) {
  LOGFONTW shape = message_font(dpi);
  const wchar_t* face = font == FontId::small ? L"@Dotum" : L"Arial";
  if (font != FontId::standard) {
    shape.lfHeight = scaled(font == FontId::small ? 16 : 20, dpi);
    shape.lfWidth = 0;
    if (face_installed(face)) wcsncpy(shape.lfFaceName, face, LF_FACESIZE - 1);
  }
  return CreateFontIndirectW(&shape);
}

}  // namespace

Fonts::~Fonts() {
  for (const auto& [key, font] : fonts_) DeleteObject(font);
  for (const auto& [key, font] : smaller_) DeleteObject(font);
}

HFONT Fonts::get(FontId font, UINT dpi) {
  HFONT& made = fonts_[{font, dpi}];
  if (made == nullptr) made = make_font(font, dpi);
  return made;
}

namespace {

// Below this a caption is no longer readable; a text that still does not fit is cut there.
constexpr LONG SMALLEST_FONT_HEIGHT = 8;

// Whether `text` in `font` shows whole in `control`: a label wraps at blanks onto the lines its
// height holds; a button's caption holds one line inside its frame, a check box's beside its box.
bool caption_fits(HWND control, ControlKind kind, UINT dpi, HFONT font, const std::wstring& text) {
  RECT room;
  GetClientRect(control, &room);
  const int margin = scaled(4, dpi);
  if (kind == ControlKind::button) room.right -= margin;
  if (kind == ControlKind::check_box) room.right -= system_metric(SM_CXMENUCHECK, dpi) + margin;
  RECT needed = room;
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, font);
  const UINT lines = kind == ControlKind::label ? DT_WORDBREAK : DT_SINGLELINE;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_NOPREFIX | lines);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return needed.right <= room.right && needed.bottom <= room.bottom;
}

// The window rectangle of `spec` at `dpi`. A drop-down list's height is that of its open list;
// closed, it is as tall as its font.
Rect native_rect(const ControlSpec& spec, UINT dpi) {
  Rect r = spec.rect;
  if (spec.kind == ControlKind::drop_down) r.h += 200;
  return scaled(r, dpi);
}

}  // namespace

HFONT Fonts::fitting(FontId id, UINT dpi, HWND control, ControlKind kind,
                     const std::wstring& text) {
  HFONT font = get(id, dpi);
  const bool caption =
      kind == ControlKind::label || kind == ControlKind::button || kind == ControlKind::check_box;
  if (!caption || text.empty() || caption_fits(control, kind, dpi, font, text)) return font;
  LOGFONTW shape{};
  GetObjectW(font, sizeof shape, &shape);
  const LONG sign = shape.lfHeight < 0 ? -1 : 1;
  for (LONG height = std::abs(shape.lfHeight) - 1; height >= SMALLEST_FONT_HEIGHT; --height) {
    HFONT& smaller = smaller_[{id, height}];
    if (smaller == nullptr) {
      shape.lfHeight = sign * height;
      shape.lfWidth = 0;
      smaller = CreateFontIndirectW(&shape);
    }
    font = smaller;
    if (caption_fits(control, kind, dpi, font, text)) break;
  }
  return font;
}

HWND create_native_control(HWND parent, const ControlSpec& spec, GaugeFace* face, UINT dpi) {
  const Native native = native_of(spec);
  const Rect r = native_rect(spec, dpi);
  const std::wstring caption = spec.kind == ControlKind::drop_down ? L"" : to_wide(spec.text);
  DWORD style = WS_CHILD | WS_VISIBLE | native.style;
  if (!spec.enabled) style |= WS_DISABLED;
  return CreateWindowExW(native.extended_style, native.window_class, caption.c_str(), style, r.x,
                         r.y, r.w, r.h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.number)),
                         GetModuleHandleW(nullptr), face);
}

void place_native_control(HWND control, const ControlSpec& spec, UINT dpi) {
  const Rect r = native_rect(spec, dpi);
  SetWindowPos(control, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void fit_closed_height(HWND drop_down, int height, UINT dpi) {
  const int wanted = scaled(height, dpi);
  // The frame around the list's field depends on the visual style, and the field's height
  // read back need not be the one set (Wine adds its padding): the height asked for is moved
  // by what the whole still lacks, until it stands at the wanted height.
  auto asked = static_cast<int>(SendMessageW(drop_down, CB_GETITEMHEIGHT, WPARAM(-1), 0));
  for (int attempt = 0; attempt < 4 && asked > 0; ++attempt) {
    RECT closed;
    GetWindowRect(drop_down, &closed);
    const int lacking = wanted - (closed.bottom - closed.top);
    if (lacking == 0 || asked + lacking <= 0) return;
    asked += lacking;
    SendMessageW(drop_down, CB_SETITEMHEIGHT, WPARAM(-1), asked);
  }
}

}  // namespace kavri::win32_ui
