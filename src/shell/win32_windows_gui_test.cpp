// The main window and the parameter window in native Windows controls (Wine on Xvfb in CI):
// the pictures in the build tree show what a user sees, beside the windows' tables. The tests
// run at the screen's DPI, 96 unless KAVRI_SCREEN_DPI names the one the run set up
// (scripts/windows/at-dpi.sh): the windows must then stand at that scale.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/utf16_text.h"
#include "procedures/parameter_window.h"
#include "procedures/progress_window.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "testing/editor_test_bench.h"
#include "testing/screenshot.h"
#include "testing/shell_test_rig.h"
#include "ui/control_registry.h"

namespace kavri {
namespace {

using testing::module_at;

int screen_dpi() {
  const char* dpi = std::getenv("KAVRI_SCREEN_DPI");
  return dpi != nullptr ? std::atoi(dpi) : 96;
}

// A length of the layout (at 96 DPI) at the screen's DPI.
LONG at_screen_dpi(int length) { return MulDiv(length, screen_dpi(), 96); }

std::string screenshot_path(const std::string& name) {
  const std::string scale = screen_dpi() == 96 ? "" : "_" + std::to_string(screen_dpi()) + "dpi";
  return KAVRI_BINARY_DIR "/screenshots/" + name + scale + ".png";
}

// The window's client size and its place on the screen (its outer corner), from the layout.
void expect_box(HWND window, int width, int height, int left, int top) {
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  EXPECT_EQ(client.right, at_screen_dpi(width));
  EXPECT_EQ(client.bottom, at_screen_dpi(height));
  EXPECT_EQ(outer.left, at_screen_dpi(left));
  EXPECT_EQ(outer.top, at_screen_dpi(top));
}

// Every control stands where the layout puts it, at the screen's scale (within the pixel that
// rounding may take). A drop-down list is measured closed.
void expect_controls_in_place(HWND window, const Toolkit& ui) {
  const auto& registry = dynamic_cast<const ControlRegistry&>(ui);
  int checked = 0;
  for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
       control = GetWindow(control, GW_HWNDNEXT)) {
    const ControlRegistry::ControlState* state = registry.control(GetDlgCtrlID(control));
    if (state == nullptr) continue;
    RECT at;
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
    const Rect& r = state->spec.rect;
    const std::string name = "control " + std::to_string(state->spec.number);
    EXPECT_NEAR(at.left, at_screen_dpi(r.x), 1) << name;
    EXPECT_NEAR(at.top, at_screen_dpi(r.y), 1) << name;
    EXPECT_NEAR(at.right - at.left, at_screen_dpi(r.w), 1) << name;
    EXPECT_NEAR(at.bottom - at.top, at_screen_dpi(r.h), 1) << name;
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

// The colour on show inside a label, beside its text: a point near its top-left corner.
COLORREF colour_inside(HWND window, int control) {
  RECT at;
  GetWindowRect(GetDlgItem(window, control), &at);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.left + 1, at.top + 1);
  ReleaseDC(nullptr, screen);
  return colour;
}

// Every caption of the window shows whole in the font it is drawn in, whatever the system's
// fonts: a label on the lines its height holds, a button's caption on one line in its frame.
void expect_captions_fit(HWND window) {
  EnumChildWindows(
      window,
      [](HWND control, LPARAM) -> BOOL {
        wchar_t name[16] = {}, text[128] = {};
        GetClassNameW(control, name, 16);
        const int length = GetWindowTextW(control, text, 128);
        const bool label = lstrcmpiW(name, L"Static") == 0;
        if (length == 0 || (!label && lstrcmpiW(name, L"Button") != 0)) return TRUE;
        RECT room;
        GetClientRect(control, &room);
        const bool check_box = (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) != BS_PUSHBUTTON;
        room.right -= label ? 0 : check_box ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 4;
        RECT needed = room;
        HDC dc = GetDC(control);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text, length, &needed,
                  DT_CALCRECT | DT_NOPREFIX | (label ? DT_WORDBREAK : DT_SINGLELINE));
        ReleaseDC(control, dc);
        EXPECT_LE(needed.right, room.right) << from_wide(text);
        EXPECT_LE(needed.bottom, room.bottom) << from_wide(text);
        return TRUE;
      },
      0);
}

// Lets the windows paint before the picture is taken.
void settle(Toolkit& ui) {
  for (int i = 0; i < 20; ++i) {
    ui.show_now();
    Sleep(10);
  }
}

// The window's picture, whole: a window that runs past the edge of the test's small screen (a
// scaled one may) is first moved to its top-left corner.
bool save_whole_window(Toolkit& ui, HWND window, const std::string& name,
                       const std::string& title) {
  RECT outer;
  GetWindowRect(window, &outer);
  if (outer.right > GetSystemMetrics(SM_CXSCREEN) || outer.bottom > GetSystemMetrics(SM_CYSCREEN)) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    settle(ui);
  }
  return save_window_screenshot(screenshot_path(name), title);
}

TEST(Win32WindowsGui, MainWindowShowsTheExploredBus) {
  std::unique_ptr<Toolkit> ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  ScratchDirectory files;
  testing::write_file(files.path() + "/Kavri.ini", "backlight = 9\r\n");
  SystemEnv env;
  VirtualCard card({module_at(12, 5), module_at(20, 17), module_at(33, 31)});
  LentCardLayer hid(&card);
  auto transport = testing::make_no_server_transport();
  std::unique_ptr<AppState> state =
      start_up(DriverPorts{env, *ui, hid, *transport, files.path(), {}, {}});
  ASSERT_NE(state, nullptr);

  // Passes until the exploration is over and the link monitor has shown the link down.
  ASSERT_TRUE(testing::ShellRig::pass_until(*state, [&] {
    return !ui->window_exists(PROGRESS_WINDOW) &&
           ui->text(MainControl::status_label) == "Déconnecté";
  }));
  settle(*ui);

  const HWND main = FindWindowW(L"KavriWindow", L"Kavri");
  ASSERT_NE(main, nullptr);
  expect_box(main, 557, 378, 355, 124);
  expect_controls_in_place(main, *ui);
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  EXPECT_TRUE((style & WS_SYSMENU) && (style & WS_MINIMIZEBOX) && (style & WS_THICKFRAME));
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_EQ(ui->text(MainControl::module_count_label), "Nombre de modules : 3");
  expect_captions_fit(main);
  // The colours the program sets stay on show, whatever the controls' visual style.
  EXPECT_EQ(colour_inside(main, MainControl::status_label), RGB(255, 0, 0));
  EXPECT_TRUE(save_whole_window(*ui, main, "win32_main_window", "Kavri"));
  shut_down(*state);
}

TEST(Win32WindowsGui, ParameterWindowShowsEveryControlInPlace) {
  auto ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  testing::EditorRig rig(*ui, {12});
  rig.open_filled_editor();
  ASSERT_TRUE(ui->window_exists(PARAMETER_WINDOW));
  settle(*ui);

  const HWND window = FindWindowW(L"KavriWindow", L"Paramétrages");
  ASSERT_NE(window, nullptr);
  expect_box(window, 489, 505, 344, 145);
  expect_controls_in_place(window, *ui);
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU);  // left by "Annule" only
  wchar_t text[64] = {};
  GetDlgItemTextW(window, param_control(Param::gauge1_offset), text, 64);
  EXPECT_STREQ(text, L"$0BC0");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, ParameterControl::calibrate_1_button)));
  expect_captions_fit(window);
  EXPECT_TRUE(save_whole_window(*ui, window, "win32_parameter_window", "Paramétrages"));
}

}  // namespace
}  // namespace kavri
