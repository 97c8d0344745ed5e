// The toolkit on native Windows controls. Windows and controls keep their numbers: a control's
// ID is its number. The window procedure only queues events; poll_event() pumps the thread's
// message queue without waiting and hands the queue out one event at a time, so handlers
// always run from the program's own loop. Texts are UTF-8 here and UTF-16 for Windows.
#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "ui/control_rules.h"
#include "ui/dialogs_win32.h"
#include "ui/gauge_faces_win32.h"
#include "ui/native_controls_win32.h"
#include "ui/toolkit.h"

namespace kavri {
namespace {

namespace rules = control_rules;
using win32_ui::GaugeFace;

constexpr const wchar_t* WINDOW_CLASS = L"KavriWindow";

class Win32Toolkit;

struct WindowEntry {
  Win32Toolkit* toolkit = nullptr;
  int number = 0;
  bool close_box = false;
  HWND hwnd = nullptr;
};

struct ControlEntry : rules::ControlModel {
  int window = 0;
  HWND hwnd = nullptr;
  std::string text;  // captions; text fields read their control instead
  FontId font = FontId::standard;
  std::optional<Rgb> background;
  HBRUSH background_brush = nullptr;
  std::unique_ptr<GaugeFace> face;  // dials and lamps
};

void release(ControlEntry& entry) {
  if (entry.background_brush != nullptr) DeleteObject(entry.background_brush);
  entry.background_brush = nullptr;
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

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
    window_class.lpszClassName = WINDOW_CLASS;
    return RegisterClassExW(&window_class) != 0;
  }();
  return registered;
}

class Win32Toolkit final : public Toolkit {
 public:
  ~Win32Toolkit() override {
    while (!windows_.empty()) destroy_window(windows_.begin()->first);
    for (auto& [number, entry] : controls_) release(entry);
  }

  bool create_window(const WindowSpec& spec) override {
    destroy_window(spec.number);
    if (!register_window_class()) return false;
    // A title bar always; the system menu carries the close box; a sizing border when asked.
    DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
    if (spec.close_box) style |= WS_SYSMENU;
    if (spec.minimise_box) style |= WS_MINIMIZEBOX;
    if (spec.sizable) style |= WS_THICKFRAME;
    RECT outer{0, 0, spec.geometry.w, spec.geometry.h};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    auto entry = std::make_unique<WindowEntry>(WindowEntry{this, spec.number, spec.close_box});
    HWND hwnd =
        CreateWindowExW(0, WINDOW_CLASS, to_wide(spec.title).c_str(), style, spec.geometry.x,
                        spec.geometry.y, outer.right - outer.left, outer.bottom - outer.top,
                        nullptr, nullptr, GetModuleHandleW(nullptr), entry.get());
    if (hwnd == nullptr) return false;
    entry->hwnd = hwnd;
    windows_[spec.number] = std::move(entry);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
  }

  void destroy_window(int number) override {
    auto it = windows_.find(number);
    if (it == windows_.end()) return;
    for (auto control = controls_.begin(); control != controls_.end();) {
      if (control->second.window == number) {
        release(control->second);
        control = controls_.erase(control);
      } else {
        ++control;
      }
    }
    std::erase_if(events_, [number](const Event& event) { return event.window == number; });
    DestroyWindow(it->second->hwnd);  // and its controls with it
    windows_.erase(it);
  }

  bool window_exists(int number) const override { return windows_.contains(number); }

  void set_minimised(int number, bool minimised) override {
    if (HWND hwnd = window_handle(number)) ShowWindow(hwnd, minimised ? SW_MINIMIZE : SW_RESTORE);
  }

  bool minimised(int number) const override {
    HWND hwnd = window_handle(number);
    return hwnd != nullptr && IsIconic(hwnd);
  }

  void set_window_title(int number, std::string_view title) override {
    if (HWND hwnd = window_handle(number)) SetWindowTextW(hwnd, to_wide(title).c_str());
  }

  void add_control(int window_number, const ControlSpec& spec) override;

  bool control_exists(int control) const override { return controls_.contains(control); }

  void set_text(int control, std::string_view text) override {
    ControlEntry* entry = find(control);
    if (entry == nullptr || entry->kind == ControlKind::drop_down) return;
    entry->text = text;
    if (entry->face) {
      entry->face->caption = to_wide(text);
      InvalidateRect(entry->hwnd, nullptr, FALSE);
    } else {
      SetWindowTextW(entry->hwnd, to_wide(text).c_str());
      show_font(*entry);
    }
  }

  std::string text(int control) const override {
    const ControlEntry* entry = find(control);
    if (entry == nullptr) return "";
    switch (entry->kind) {
      case ControlKind::text_field: {
        std::wstring typed(static_cast<std::size_t>(GetWindowTextLengthW(entry->hwnd)) + 1, L'\0');
        const int length =
            GetWindowTextW(entry->hwnd, typed.data(), static_cast<int>(typed.size()));
        typed.resize(static_cast<std::size_t>(std::max(length, 0)));
        return from_wide(typed);
      }
      case ControlKind::drop_down:
        return item_text(control, entry->selection);
      default:
        return entry->text;
    }
  }

  void set_enabled(int control, bool enabled) override {
    if (ControlEntry* entry = find(control)) EnableWindow(entry->hwnd, enabled ? TRUE : FALSE);
  }

  bool enabled(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr && IsWindowEnabled(entry->hwnd);
  }

  void set_background(int control, Rgb colour) override {
    ControlEntry* entry = find(control);
    if (entry == nullptr) return;
    release(*entry);
    entry->background = colour;
    entry->background_brush = CreateSolidBrush(RGB(colour.r, colour.g, colour.b));
    InvalidateRect(entry->hwnd, nullptr, TRUE);
  }

  void set_font(int control, FontId font) override {
    ControlEntry* entry = find(control);
    if (entry == nullptr) return;
    entry->font = font;
    show_font(*entry);
    if (entry->face) {
      entry->face->font = fonts_.get(font);
      InvalidateRect(entry->hwnd, nullptr, FALSE);
    }
  }

  void set_range(int control, int min, int max) override {
    ControlEntry* entry = find(control);
    if (entry != nullptr && entry->set_range(min, max)) show_value(*entry);
  }

  int range_max(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->range.max : 0;
  }

  void set_value(int control, int value) override {
    ControlEntry* entry = find(control);
    if (entry != nullptr && entry->set_value(value)) show_value(*entry);
  }

  int value(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->value : 0;
  }

  void clear_items(int control) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    entry->clear_items();
    SendMessageW(entry->hwnd, CB_RESETCONTENT, 0, 0);
  }

  void add_item(int control, std::string_view text) override {
    insert_item(control, item_count(control), text);
  }

  void insert_item(int control, int position, std::string_view text) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    const int at = entry->insert_item(position, text);
    SendMessageW(entry->hwnd, CB_INSERTSTRING, static_cast<WPARAM>(at),
                 reinterpret_cast<LPARAM>(to_wide(text).c_str()));
    SendMessageW(entry->hwnd, CB_SETCURSEL, static_cast<WPARAM>(entry->selection), 0);
  }

  int item_count(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->item_count() : 0;
  }

  std::string item_text(int control, int index) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->item_text(index) : "";
  }

  void set_selection(int control, int index) override {
    ControlEntry* entry = find_list(control);
    if (entry == nullptr) return;
    entry->select(index);
    SendMessageW(entry->hwnd, CB_SETCURSEL, static_cast<WPARAM>(entry->selection), 0);
  }

  int selection(int control) const override {
    const ControlEntry* entry = find(control);
    return entry != nullptr ? entry->selection : -1;
  }

  std::optional<Event> poll_event() override {
    pump_messages();
    if (events_.empty()) return std::nullopt;
    Event event = events_.front();
    events_.pop_front();
    return event;
  }

  // Events that arrive meanwhile only queue up, as in poll_event.
  void show_now() override {
    for (const auto& [number, window] : windows_) UpdateWindow(window->hwnd);
    pump_messages();
  }

  void show_message_box(std::string_view title, std::string_view text) override {
    win32_ui::show_message_box(owner(), title, text);
  }

  std::string choose_file(const FileDialogSpec& spec) override {
    return win32_ui::run_file_dialog(owner(), spec);
  }

  // From the window procedure.
  void on_control(int window, HWND control_hwnd) {
    const int number = GetDlgCtrlID(control_hwnd);
    ControlEntry* entry = find(number);
    if (entry == nullptr || entry->hwnd != control_hwnd || entry->window != window) return;
    take_user_change(*entry);
    acted_window_ = window;
    events_.push_back(Event{Event::Kind::control, window, number});
  }

  void on_close(int window) {
    acted_window_ = window;
    events_.push_back(Event{Event::Kind::close, window, 0});
  }

  // The brush and colours of a label with a background of its own; null for the others.
  HBRUSH background_of(HWND control_hwnd, HDC dc) const {
    const ControlEntry* entry = find(GetDlgCtrlID(control_hwnd));
    if (entry == nullptr || entry->hwnd != control_hwnd || !entry->background) return nullptr;
    SetBkColor(dc, RGB(entry->background->r, entry->background->g, entry->background->b));
    return entry->background_brush;
  }

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

  // The user changed the control: bring the entry's copy of its state up to date.
  static void take_user_change(ControlEntry& entry) {
    switch (entry.kind) {
      case ControlKind::slider: {
        const auto position = static_cast<int>(SendMessageW(entry.hwnd, TBM_GETPOS, 0, 0));
        entry.value = rules::stored_value(entry.kind, entry.range, position);
        break;
      }
      case ControlKind::check_box:
        entry.value = SendMessageW(entry.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        break;
      case ControlKind::drop_down: {
        const auto chosen = static_cast<int>(SendMessageW(entry.hwnd, CB_GETCURSEL, 0, 0));
        entry.select(chosen);
        break;
      }
      default:
        break;
    }
  }

  static void show_value(ControlEntry& entry);

  // The control's font, made smaller where its caption would not fit otherwise.
  void show_font(ControlEntry& entry) {
    HFONT font = fonts_.fitting(entry.font, entry.hwnd, entry.kind, to_wide(entry.text));
    SendMessageW(entry.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }

  // Message boxes and file dialogs belong to the window the user last acted in, which they
  // disable and stand in front of: a box owned by a window behind it would leave the user
  // facing a window that no longer answers. Before any action, and once that window is gone,
  // the first window owns them.
  HWND owner() const {
    if (HWND acted = window_handle(acted_window_)) return acted;
    return windows_.empty() ? nullptr : windows_.begin()->second->hwnd;
  }

  HWND window_handle(int number) const {
    auto it = windows_.find(number);
    return it != windows_.end() ? it->second->hwnd : nullptr;
  }
  ControlEntry* find(int control) {
    auto it = controls_.find(control);
    return it != controls_.end() ? &it->second : nullptr;
  }
  const ControlEntry* find(int control) const {
    auto it = controls_.find(control);
    return it != controls_.end() ? &it->second : nullptr;
  }
  ControlEntry* find_list(int control) {
    ControlEntry* entry = find(control);
    return entry != nullptr && entry->kind == ControlKind::drop_down ? entry : nullptr;
  }
  void forget_control(int control, int new_window);

  win32_ui::Fonts fonts_;
  std::map<int, std::unique_ptr<WindowEntry>> windows_;
  std::map<int, ControlEntry> controls_;
  std::deque<Event> events_;
  int acted_window_ = -1;  // the window of the user's last event; -1 before any
};

void Win32Toolkit::add_control(int window_number, const ControlSpec& spec) {
  HWND parent = window_handle(window_number);
  if (parent == nullptr) return;
  forget_control(spec.number, window_number);

  ControlEntry entry;
  entry.window = window_number;
  entry.kind = spec.kind;
  entry.text = spec.text;
  entry.range = rules::ordered(spec.range_min, spec.range_max);
  entry.value = rules::stored_value(spec.kind, entry.range, 0);
  if (spec.kind == ControlKind::dial || spec.kind == ControlKind::lamp) {
    entry.face = std::make_unique<GaugeFace>(
        GaugeFace{spec.kind, entry.range.min, entry.range.max, entry.value, to_wide(spec.text)});
  }
  entry.hwnd = win32_ui::create_native_control(parent, spec, entry.face.get());
  if (entry.hwnd == nullptr) return;
  if (spec.kind == ControlKind::slider && spec.tick_step > 0) {
    SendMessageW(entry.hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(spec.tick_step), 0);
  }
  auto& placed = controls_[spec.number] = std::move(entry);
  set_font(spec.number, spec.font);
  show_value(placed);
}

// A number given again replaces the control. In its own window the old control goes; in
// another window (two windows that share caption numbers) it stays on show there, but no
// longer speaks or answers for the number.
void Win32Toolkit::forget_control(int control, int new_window) {
  auto it = controls_.find(control);
  if (it == controls_.end()) return;
  if (it->second.window == new_window) DestroyWindow(it->second.hwnd);
  release(it->second);
  // A face outliving its entry would point nowhere: the control stops drawing it.
  if (it->second.face) SetWindowLongPtrW(it->second.hwnd, GWLP_USERDATA, 0);
  controls_.erase(it);
}

void Win32Toolkit::show_value(ControlEntry& entry) {
  switch (entry.kind) {
    case ControlKind::slider:
      SendMessageW(entry.hwnd, TBM_SETRANGEMIN, FALSE, entry.range.min);
      SendMessageW(entry.hwnd, TBM_SETRANGEMAX, FALSE, entry.range.max);
      SendMessageW(entry.hwnd, TBM_SETPOS, TRUE, entry.value);
      break;
    case ControlKind::progress_bar:
      SendMessageW(entry.hwnd, PBM_SETRANGE32, static_cast<WPARAM>(entry.range.min),
                   entry.range.max);
      SendMessageW(entry.hwnd, PBM_SETPOS, static_cast<WPARAM>(entry.value), 0);
      break;
    case ControlKind::check_box:
      SendMessageW(entry.hwnd, BM_SETCHECK, entry.value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::dial:
    case ControlKind::lamp:
      if (entry.face->value != entry.value || entry.face->min != entry.range.min ||
          entry.face->max != entry.range.max) {
        entry.face->min = entry.range.min;
        entry.face->max = entry.range.max;
        entry.face->value = entry.value;
        InvalidateRect(entry.hwnd, nullptr, FALSE);
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
    case WM_CLOSE:
      // Only a close box closes, and the program decides: the window stays.
      if (window->close_box) toolkit.on_close(window->number);
      return 0;
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
