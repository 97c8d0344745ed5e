// The toolkit on native Windows controls. Windows and controls keep their numbers: a control's
// ID is its number. The window procedure only queues events; poll_event() pumps the thread's
// message queue without waiting and hands the queue out one event at a time, so handlers
// always run from the program's own loop. Texts are UTF-8 here and UTF-16 for Windows. The
// layout's rectangles and fonts are at 96 DPI: each window is drawn at its monitor's scale, and
// follows it when it moves to a monitor of another scale.
#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "ui/control_registry.h"
#include "ui/dialogs_win32.h"
#include "ui/gauge_faces_win32.h"
#include "ui/native_controls_win32.h"
#include "ui/screen_scale_win32.h"
#include "ui/toolkit.h"

namespace kavri {
namespace {

using win32_ui::GaugeFace;
using win32_ui::scaled;

constexpr const wchar_t* WINDOW_CLASS = L"KavriWindow";

class Win32Toolkit;

struct WindowEntry {
  Win32Toolkit* toolkit = nullptr;
  int number = 0;
  HWND hwnd = nullptr;
  UINT dpi = win32_ui::LAYOUT_DPI;  // the scale its controls are drawn at
};

// A control's native window; its state is the registry's.
struct NativeControl {
  int window = 0;
  HWND hwnd = nullptr;
  HBRUSH background_brush = nullptr;
  std::unique_ptr<GaugeFace> face;  // dials and lamps
};

void release(NativeControl& native) {
  if (native.background_brush != nullptr) DeleteObject(native.background_brush);
  native.background_brush = nullptr;
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// The program's own icon (resource 1) at the size of a metric; null in a program without one.
HICON program_icon(int width_metric, int height_metric) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                       GetSystemMetrics(width_metric),
                                       GetSystemMetrics(height_metric), LR_SHARED));
}

bool register_window_class() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX),
                                ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    // Title bar and Alt+Tab, and the taskbar: the program's icon, not the generic one.
    window_class.hIcon = program_icon(SM_CXICON, SM_CYICON);
    window_class.hIconSm = program_icon(SM_CXSMICON, SM_CYSMICON);
    window_class.lpszClassName = WINDOW_CLASS;
    return RegisterClassExW(&window_class) != 0;
  }();
  return registered;
}

class Win32Toolkit final : public ControlRegistry {
 public:
  ~Win32Toolkit() override {
    while (!windows_.empty()) destroy_window(windows_.begin()->first);
    for (auto& [number, native] : natives_) release(native);
  }

  // Events that arrive meanwhile only queue up, as in poll_event.
  void show_now() override {
    for (const auto& [number, window] : windows_) UpdateWindow(window->hwnd);
    pump_messages();
  }

  std::string choose_file(const FileDialogSpec& spec) override {
    return win32_ui::run_file_dialog(owner(), spec);
  }
  std::string documents_folder() const override { return win32_ui::documents_folder(); }

  // From the window procedure: the user changed a control, clicked a close box, or minimised
  // or restored a window.
  void on_control(int window, HWND control_hwnd) {
    const int number = GetDlgCtrlID(control_hwnd);
    const ControlState* state = control(number);
    auto native = natives_.find(number);
    if (state == nullptr || native == natives_.end() || native->second.hwnd != control_hwnd ||
        state->window != window) {
      return;
    }
    switch (state->kind) {
      case ControlKind::slider:
        take_user_value(number, state->kind,
                        static_cast<int>(SendMessageW(control_hwnd, TBM_GETPOS, 0, 0)));
        break;
      case ControlKind::check_box:
        take_user_value(number, state->kind,
                        SendMessageW(control_hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        break;
      case ControlKind::drop_down:
        take_user_selection(number,
                            static_cast<int>(SendMessageW(control_hwnd, CB_GETCURSEL, 0, 0)));
        break;
      default:
        take_user_press(number, state->kind);
        break;
    }
  }
  void on_close(int window) { take_user_close(window); }

  // The window moved to a monitor of another scale: it takes the place Windows suggests, at
  // the size of its client area at the new scale, and its controls follow.
  void on_dpi_changed(WindowEntry& window, UINT dpi, const RECT& suggested) {
    window.dpi = dpi;
    const WindowState* state = this->window(window.number);
    if (state == nullptr) return;
    const SIZE size = outer_size(state->spec, GetWindowLongW(window.hwnd, GWL_STYLE), dpi);
    SetWindowPos(window.hwnd, nullptr, suggested.left, suggested.top, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame as the system draws it now may differ from the one reckoned: the client area
    // is brought to the layout's size exactly.
    RECT client;
    GetClientRect(window.hwnd, &client);
    const int wider = scaled(state->spec.geometry.w, dpi) - client.right;
    const int taller = scaled(state->spec.geometry.h, dpi) - client.bottom;
    if (wider != 0 || taller != 0) {
      SetWindowPos(window.hwnd, nullptr, 0, 0, size.cx + wider, size.cy + taller,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const auto& [number, native] : natives_) {
      const ControlState* control = this->control(number);
      if (native.window != window.number || control == nullptr) continue;
      win32_ui::place_native_control(native.hwnd, control->spec, dpi);
      show_font(*control);
    }
  }
  void on_minimised(int window, bool minimised) { take_user_minimised(window, minimised); }

  // The brush and colours of a label with a background of its own; null for the others.
  HBRUSH background_of(HWND control_hwnd, HDC dc) const {
    const int number = GetDlgCtrlID(control_hwnd);
    const ControlState* state = control(number);
    auto native = natives_.find(number);
    if (state == nullptr || native == natives_.end() || native->second.hwnd != control_hwnd ||
        !state->background) {
      return nullptr;
    }
    SetBkColor(dc, RGB(state->background->r, state->background->g, state->background->b));
    return native->second.background_brush;
  }

 protected:
  void show_message_box(std::string_view title, std::string_view text) override {
    win32_ui::show_message_box(owner(), title, text);
  }

  bool show_window(const WindowState& state) override {
    if (!register_window_class()) return false;
    const WindowSpec& spec = state.spec;
    // A title bar always; the system menu carries the close box; a sizing border when asked.
    DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
    if (spec.close_box) style |= WS_SYSMENU;
    if (spec.minimise_box) style |= WS_MINIMIZEBOX;
    if (spec.sizable) style |= WS_THICKFRAME;
    // The corner at the scale of the monitor it falls on, from that monitor's own corner.
    const POINT corner{spec.geometry.x, spec.geometry.y};
    const win32_ui::MonitorScale monitor = win32_ui::monitor_scale_at(corner);
    const int x = monitor.origin.x + scaled(corner.x - monitor.origin.x, monitor.dpi);
    const int y = monitor.origin.y + scaled(corner.y - monitor.origin.y, monitor.dpi);
    const SIZE outer = outer_size(spec, style, monitor.dpi);
    auto entry = std::make_unique<WindowEntry>(WindowEntry{this, spec.number});
    // An owned window stands in front of its owner, is minimised with it and has no taskbar
    // button of its own.
    const HWND owner = spec.owner ? window_handle(*spec.owner) : nullptr;
    HWND hwnd = CreateWindowExW(0, WINDOW_CLASS, to_wide(spec.title).c_str(), style, x, y, outer.cx,
                                outer.cy, owner, nullptr, GetModuleHandleW(nullptr), entry.get());
    if (hwnd == nullptr) return false;
    entry->hwnd = hwnd;
    // Windows may have placed it on another monitor than the one its corner named.
    entry->dpi = win32_ui::window_dpi(hwnd);
    if (entry->dpi != monitor.dpi) {
      const SIZE size = outer_size(spec, style, entry->dpi);
      SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    }
    windows_[spec.number] = std::move(entry);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
  }

  void hide_window(int number) override {
    for (auto native = natives_.begin(); native != natives_.end();) {
      if (native->second.window == number) {
        release(native->second);
        native = natives_.erase(native);
      } else {
        ++native;
      }
    }
    auto it = windows_.find(number);
    if (it == windows_.end()) return;
    DestroyWindow(it->second->hwnd);  // and its controls with it
    windows_.erase(it);
  }

  void show_minimised(int number, bool minimised) override {
    if (HWND hwnd = window_handle(number)) ShowWindow(hwnd, minimised ? SW_MINIMIZE : SW_RESTORE);
  }

  void show_title(const WindowState& state) override {
    if (HWND hwnd = window_handle(state.spec.number)) {
      SetWindowTextW(hwnd, to_wide(state.spec.title).c_str());
    }
  }

  bool show_control(const ControlState& state) override;
  void drop_control(const ControlState& old, bool same_window) override;

  void show_text(const ControlState& state) override {
    NativeControl& native = natives_.at(state.spec.number);
    if (native.face) {
      native.face->caption = to_wide(state.spec.text);
      InvalidateRect(native.hwnd, nullptr, FALSE);
    } else {
      SetWindowTextW(native.hwnd, to_wide(state.spec.text).c_str());
      show_font(state);
    }
  }

  std::optional<std::string> typed_text(const ControlState& state) const override {
    HWND hwnd = natives_.at(state.spec.number).hwnd;
    std::wstring typed(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, typed.data(), static_cast<int>(typed.size()));
    typed.resize(static_cast<std::size_t>(std::max(length, 0)));
    return from_wide(typed);
  }

  void show_enabled(const ControlState& state) override {
    EnableWindow(natives_.at(state.spec.number).hwnd, state.spec.enabled ? TRUE : FALSE);
  }

  void show_background(const ControlState& state) override {
    NativeControl& native = natives_.at(state.spec.number);
    release(native);
    native.background_brush =
        CreateSolidBrush(RGB(state.background->r, state.background->g, state.background->b));
    InvalidateRect(native.hwnd, nullptr, TRUE);
  }

  // The control's font, made smaller where its caption would not fit otherwise.
  void show_font(const ControlState& state) override {
    NativeControl& native = natives_.at(state.spec.number);
    const UINT dpi = dpi_of(native.window);
    HFONT font =
        fonts_.fitting(state.spec.font, dpi, native.hwnd, state.kind, to_wide(state.spec.text));
    SendMessageW(native.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (state.kind == ControlKind::drop_down) {
      win32_ui::fit_closed_height(native.hwnd, state.spec.rect.h, dpi);
    }
    if (native.face) {
      native.face->font = fonts_.get(state.spec.font, dpi);
      InvalidateRect(native.hwnd, nullptr, FALSE);
    }
  }

  void show_value(const ControlState& state) override;

  void show_items_cleared(const ControlState& state) override {
    SendMessageW(natives_.at(state.spec.number).hwnd, CB_RESETCONTENT, 0, 0);
  }

  void show_item_inserted(const ControlState& state, int position) override {
    HWND hwnd = natives_.at(state.spec.number).hwnd;
    SendMessageW(hwnd, CB_INSERTSTRING, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(to_wide(state.item_text(position)).c_str()));
    show_selection(state);
  }

  void show_selection(const ControlState& state) override {
    SendMessageW(natives_.at(state.spec.number).hwnd, CB_SETCURSEL,
                 static_cast<WPARAM>(state.selection), 0);
  }

  void deliver_input() override { pump_messages(); }

 private:
  void pump_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (take_keyboard_navigation(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  // Tab and Shift+Tab move between the fields, lists, sliders and buttons of a window in the
  // order they were added, and Ctrl+A selects a field's whole text, as in any Windows dialog.
  // Only those keys take the dialog manager's path: Enter and Escape keep their own meaning
  // (the dialog manager would turn them into a click on control number 1 or 2).
  bool take_keyboard_navigation(MSG& message) const {
    const bool key =
        message.message == WM_KEYDOWN || message.message == WM_KEYUP || message.message == WM_CHAR;
    if (!key) return false;
    if (message.message == WM_KEYDOWN && message.wParam == 'A' && GetKeyState(VK_CONTROL) < 0 &&
        (SendMessageW(message.hwnd, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
      SendMessageW(message.hwnd, EM_SETSEL, 0, -1);
      return true;
    }
    const bool tab =
        message.message == WM_CHAR ? message.wParam == L'\t' : message.wParam == VK_TAB;
    if (!tab) return false;
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    const bool ours = std::any_of(windows_.begin(), windows_.end(), [root](const auto& window) {
      return window.second->hwnd == root;
    });
    return ours && IsDialogMessageW(root, &message) != FALSE;
  }

  // Message boxes and file dialogs belong to the window the user last acted in, which they
  // disable and stand in front of: a box owned by a window behind it would leave the user
  // facing a window that no longer answers. Before any action, and once that window is gone,
  // the first window owns them.
  HWND owner() const {
    if (const std::optional<int> acted = acted_window()) return window_handle(*acted);
    return windows_.empty() ? nullptr : windows_.begin()->second->hwnd;
  }

  HWND window_handle(int number) const {
    auto it = windows_.find(number);
    return it != windows_.end() ? it->second->hwnd : nullptr;
  }

  UINT dpi_of(int number) const {
    auto it = windows_.find(number);
    return it != windows_.end() ? it->second->dpi : win32_ui::LAYOUT_DPI;
  }

  // The outer size of a window of `spec` and `style` whose client area is the layout's at `dpi`.
  static SIZE outer_size(const WindowSpec& spec, DWORD style, UINT dpi) {
    return win32_ui::outer_size(scaled(spec.geometry.w, dpi), scaled(spec.geometry.h, dpi), style,
                                dpi);
  }

  win32_ui::Fonts fonts_;
  std::map<int, std::unique_ptr<WindowEntry>> windows_;
  std::map<int, NativeControl> natives_;
};

bool Win32Toolkit::show_control(const ControlState& state) {
  HWND parent = window_handle(state.window);
  if (parent == nullptr) return false;
  const ControlSpec& spec = state.spec;
  NativeControl native;
  native.window = state.window;
  if (spec.kind == ControlKind::dial || spec.kind == ControlKind::lamp) {
    native.face = std::make_unique<GaugeFace>(
        GaugeFace{spec.kind, state.range.min, state.range.max, state.value, to_wide(spec.text)});
  }
  native.hwnd =
      win32_ui::create_native_control(parent, spec, native.face.get(), dpi_of(state.window));
  if (native.hwnd == nullptr) return false;
  if (spec.kind == ControlKind::slider && spec.tick_step > 0) {
    SendMessageW(native.hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(spec.tick_step), 0);
  }
  natives_[spec.number] = std::move(native);
  show_font(state);
  show_value(state);
  return true;
}

void Win32Toolkit::drop_control(const ControlState& old, bool same_window) {
  auto it = natives_.find(old.spec.number);
  if (it == natives_.end()) return;
  if (same_window) DestroyWindow(it->second.hwnd);
  release(it->second);
  // A face outliving its entry would point nowhere: the control stops drawing it.
  if (it->second.face) SetWindowLongPtrW(it->second.hwnd, GWLP_USERDATA, 0);
  natives_.erase(it);
}

void Win32Toolkit::show_value(const ControlState& state) {
  NativeControl& native = natives_.at(state.spec.number);
  switch (state.kind) {
    case ControlKind::slider:
      SendMessageW(native.hwnd, TBM_SETRANGEMIN, FALSE, state.range.min);
      SendMessageW(native.hwnd, TBM_SETRANGEMAX, FALSE, state.range.max);
      SendMessageW(native.hwnd, TBM_SETPOS, TRUE, state.value);
      break;
    case ControlKind::progress_bar:
      SendMessageW(native.hwnd, PBM_SETRANGE32, static_cast<WPARAM>(state.range.min),
                   state.range.max);
      SendMessageW(native.hwnd, PBM_SETPOS, static_cast<WPARAM>(state.value), 0);
      break;
    case ControlKind::check_box:
      SendMessageW(native.hwnd, BM_SETCHECK, state.value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::dial:
    case ControlKind::lamp:
      if (native.face->value != state.value || native.face->min != state.range.min ||
          native.face->max != state.range.max) {
        native.face->min = state.range.min;
        native.face->max = state.range.max;
        native.face->value = state.value;
        InvalidateRect(native.hwnd, nullptr, FALSE);
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<WindowEntry*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  Win32Toolkit& toolkit = *window->toolkit;
  switch (message) {
    case WM_COMMAND: {
      const UINT code = HIWORD(wparam);
      const auto control = reinterpret_cast<HWND>(lparam);
      if (control != nullptr && (code == BN_CLICKED || code == CBN_SELCHANGE)) {
        toolkit.on_control(window->number, control);
      }
      return 0;
    }
    case WM_HSCROLL: {
      // Every movement counts; the end of a drag and the final thumb position repeat the last.
      const UINT code = LOWORD(wparam);
      const auto control = reinterpret_cast<HWND>(lparam);
      if (control != nullptr && code != TB_ENDTRACK && code != TB_THUMBPOSITION) {
        toolkit.on_control(window->number, control);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush = toolkit.background_of(reinterpret_cast<HWND>(lparam),
                                               reinterpret_cast<HDC>(wparam))) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_DPICHANGED:
      toolkit.on_dpi_changed(*window, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_CLOSE:
      // Only a close box closes, and the program decides: the window stays.
      toolkit.on_close(window->number);
      return 0;
    case WM_SIZE:
      // The user may minimise and restore the window from its title bar or the task bar.
      if (wparam == SIZE_MINIMIZED || wparam == SIZE_RESTORED) {
        toolkit.on_minimised(window->number, wparam == SIZE_MINIMIZED);
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

std::unique_ptr<Toolkit> make_platform_toolkit() {
  if (!register_window_class()) return nullptr;  // no window station to draw on
  return std::make_unique<Win32Toolkit>();
}

}  // namespace kavri
