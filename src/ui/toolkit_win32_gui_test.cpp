// The Win32 toolkit on a real desktop (Wine on Xvfb in CI): the toolkit contract, and what only
// the native controls show. User input goes through the system's input queue (SendInput), the
// path a click or a key of the user takes.
#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16_text.h"
#include "testing/screenshot.h"
#include "testing/toolkit_contract.h"
#include "ui/toolkit.h"

namespace kavri {
namespace {

using namespace testing::test_panel;

INSTANTIATE_TEST_SUITE_P(Win32, ToolkitContract, ::testing::Values(&make_platform_toolkit));

HWND window_titled(const wchar_t* title) { return FindWindowW(L"KavriWindow", title); }

std::wstring text_of(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

std::wstring class_of(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

void send_inputs(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A left click at a point of a window's client area.
void click(HWND window, int x, int y) {
  POINT at{x, y};
  ClientToScreen(window, &at);
  SetCursorPos(at.x, at.y);
  INPUT down{}, up{};
  down.type = up.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  send_inputs({down, up});
}

INPUT key_input(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

void press_key(WORD key) { send_inputs({key_input(key, false), key_input(key, true)}); }

// `key` pressed while `modifier` (Shift, Ctrl) is held down.
void press_key_with(WORD modifier, WORD key) {
  send_inputs({key_input(modifier, false), key_input(key, false), key_input(key, true),
               key_input(modifier, true)});
}

// Runs `show`, which shows a modal box titled `title`, while a second thread acts as the user:
// it finds the box, hands it to `look`, and presses its `button` (OK unless told). False when
// no box came.
bool answer_box(const wchar_t* title, const std::function<void(HWND)>& look,
                const std::function<void()>& show, int button = IDOK) {
  std::atomic<bool> shown{false};
  std::thread user([&] {
    for (int i = 0; i < 2000 && !shown; ++i) {
      if (HWND box = FindWindowW(L"#32770", title)) {
        look(box);
        PostMessageW(box, WM_COMMAND, button, 0);
        shown = true;
      }
      Sleep(10);
    }
  });
  show();
  user.join();
  return shown;
}

class Win32ToolkitGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui = make_platform_toolkit();
    ASSERT_NE(ui, nullptr);
    ASSERT_TRUE(build_test_panel(*ui, 30));
    panel = window_titled(L"Paramètres");
    ASSERT_NE(panel, nullptr);
    SetForegroundWindow(panel);
    settle();
  }

  // Lets the windows paint and the input queue deliver what was sent.
  void settle() {
    for (int i = 0; i < 20; ++i) {
      ui->show_now();
      Sleep(5);
    }
  }

  std::vector<Event> drain() {
    std::vector<Event> events;
    for (int i = 0; i < 40; ++i) {
      while (auto event = ui->poll_event()) events.push_back(*event);
      Sleep(5);
    }
    return events;
  }

  std::unique_ptr<Toolkit> ui;
  HWND panel = nullptr;
};

TEST_F(Win32ToolkitGuiTest, NativeControlsCarryTheirNumbersTextsAndStyles) {
  const HWND open = GetDlgItem(panel, kOpen);
  EXPECT_EQ(class_of(open), L"Button");
  EXPECT_EQ(text_of(open), L"Paramètres");
  EXPECT_EQ(text_of(panel), L"Paramètres");
  EXPECT_EQ(text_of(GetDlgItem(panel, kStatus)), L"Déconnecté");
  EXPECT_EQ(class_of(GetDlgItem(panel, kBacklight)), L"msctls_trackbar32");
  EXPECT_EQ(class_of(GetDlgItem(panel, kList)), L"ComboBox");
  EXPECT_EQ(class_of(GetDlgItem(panel, kProgress)), L"msctls_progress32");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, kSetMin)));

  const LONG style = GetWindowLongW(panel, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  RECT client, outer;
  GetClientRect(panel, &client);
  GetWindowRect(panel, &outer);
  EXPECT_EQ(client.right, kPanelGeometry.w);
  EXPECT_EQ(client.bottom, kPanelGeometry.h);
  EXPECT_EQ(outer.left, kPanelGeometry.x);
  EXPECT_EQ(outer.top, kPanelGeometry.y);

  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  EXPECT_FALSE(GetWindowLongW(window_titled(L"progression"), GWL_STYLE) & WS_SYSMENU);
}

// The native controls show what the program set.
TEST_F(Win32ToolkitGuiTest, NativeControlsMirrorTheProgramsChanges) {
  ui->set_range(kPosition, 0, 65535);
  ui->set_value(kPosition, 1000);
  EXPECT_EQ(SendMessageW(GetDlgItem(panel, kPosition), TBM_GETPOS, 0, 0), 1000);
  ui->set_selection(kList, 1);
  ui->insert_item(kList, 0, "30");
  EXPECT_EQ(SendMessageW(GetDlgItem(panel, kList), CB_GETCURSEL, 0, 0), 2);
  ui->set_text(kField, "1000 é");
  EXPECT_EQ(text_of(GetDlgItem(panel, kField)), L"1000 é");
  ui->set_enabled(kOpen, false);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, kOpen)));
  ui->set_window_title(kPanel, "Paramétrages");
  EXPECT_EQ(text_of(panel), L"Paramétrages");
  ui->set_minimised(kPanel, true);
  EXPECT_TRUE(IsIconic(panel));
  ui->set_minimised(kPanel, false);
  EXPECT_FALSE(IsIconic(panel));
  ui->destroy_window(kPanel);
  EXPECT_FALSE(IsWindow(panel));
}

TEST_F(Win32ToolkitGuiTest, UserInputRaisesControlEventsWithTheNewState) {
  click(panel, 50, 200);   // "Paramètres"
  click(panel, 150, 200);  // "Set min.", disabled: nothing
  click(panel, 27, 235);   // the reduced-start box
  click(panel, 205, 160);  // the position slider: focus, and a page up
  press_key(VK_END);       // to its maximum
  click(panel, 150, 90);   // the list: opens it
  press_key(VK_DOWN);
  press_key(VK_RETURN);
  std::vector<int> controls;
  for (const Event& event : drain()) {
    EXPECT_EQ(event.kind, Event::Kind::control);
    EXPECT_EQ(event.window, kPanel);
    if (controls.empty() || controls.back() != event.control) controls.push_back(event.control);
  }
  EXPECT_EQ(controls, (std::vector<int>{kOpen, kReduced, kPosition, kList}));
  EXPECT_EQ(ui->value(kReduced), 1);
  EXPECT_EQ(ui->value(kPosition), 255);
  EXPECT_EQ(ui->selection(kList), 0);
  EXPECT_EQ(ui->text(kList), "50");
}

TEST_F(Win32ToolkitGuiTest, OnlyACloseBoxClosesAndTheWindowStays) {
  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  const HWND plain = window_titled(L"progression");
  ASSERT_NE(plain, nullptr);
  PostMessageW(plain, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(plain, WM_CLOSE, 0, 0);
  EXPECT_TRUE(drain().empty());
  PostMessageW(panel, WM_SYSCOMMAND, SC_CLOSE, 0);
  const std::vector<Event> events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Event::Kind::close);
  EXPECT_EQ(events[0].window, kPanel);
  EXPECT_TRUE(ui->window_exists(kPanel));  // closing is the program's decision
  EXPECT_TRUE(IsWindow(panel));
}

TEST_F(Win32ToolkitGuiTest, MessageBoxShowsItsAccentsAndReturnsOnceDismissed) {
  std::wstring seen;
  const auto look = [&](HWND box) {
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's message
    seen = text;
    save_screenshot(KAVRI_BINARY_DIR "/screenshots/win32_message_box.png");
  };
  EXPECT_TRUE(answer_box(L"Erreur de lecture", look, [&] {
    ui->message_box("Erreur de lecture",
                    "Le module 7 n'a pas répondu correctement, relancer le driver");
  }));
  EXPECT_EQ(seen, L"Le module 7 n'a pas répondu correctement, relancer le driver");
}

// The file dialog starts in the whole folder it is given: the user's documents folder, which is
// where the export and import dialogs first start.
TEST_F(Win32ToolkitGuiTest, FileDialogStartsInTheUsersDocumentsFolder) {
  const std::string documents = ui->documents_folder();
  ASSERT_FALSE(documents.empty());
  std::wstring seen;
  const auto look = [&](HWND dialog) {
    Sleep(300);  // let it open its folder
    wchar_t folder[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    seen = folder;
  };
  std::string chosen = "not asked";
  EXPECT_TRUE(answer_box(
      L"Exporte la configuration", look,
      [&] {
        chosen = ui->choose_file({"Exporte la configuration", documents, "Jauge.jcf",
                                  "Kavri jauge config.(*.jcf)", "*.jcf", true});
      },
      IDCANCEL));
  EXPECT_EQ(from_wide(seen), documents);
  EXPECT_EQ(chosen, "");
}

// The icon a box shows once it is on show: the system's icon it carries, or null for a box
// without one.
HICON icon_of_box(HWND box) {
  for (int i = 0; i < 200 && !IsWindowVisible(box); ++i) Sleep(10);
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    if (auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) return icon;
  }
  return nullptr;
}

// An error's box carries the system's error icon; a box that only tells the user something
// does not.
TEST_F(Win32ToolkitGuiTest, ErrorBoxesCarryTheErrorIcon) {
  const HICON error = LoadIconW(nullptr, MAKEINTRESOURCEW(32513));  // IDI_ERROR
  const struct {
    const wchar_t* title;
    HICON icon;
  } cases[] = {
      {L"Erreur", error}, {L"Erreur de lecture", error}, {L"Configuration de la jauge", nullptr}};
  for (const auto& c : cases) {
    HICON shown = nullptr;
    EXPECT_TRUE(answer_box(
        c.title, [&](HWND box) { shown = icon_of_box(box); },
        [&] { ui->message_box(from_wide(c.title), "Valeur incorrecte"); }));
    EXPECT_EQ(shown, c.icon) << from_wide(c.title);
  }
}

// The program's icon, not the generic one, in the title bar and the taskbar (its large and
// small sizes).
TEST_F(Win32ToolkitGuiTest, WindowsCarryTheProgramsIconInBothSizes) {
  for (const auto& [icon_index, size_metric] :
       {std::pair{GCLP_HICON, SM_CXICON}, std::pair{GCLP_HICONSM, SM_CXSMICON}}) {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(panel, icon_index));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(size_metric));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

// A box raised by a click in a second window stands in front of that window and holds it, not
// the first one behind it: the user is never left facing a window that does not answer.
TEST_F(Win32ToolkitGuiTest, ABoxBelongsToTheWindowTheUserActedIn) {
  constexpr int kValider = 77;
  ui->create_window({kPlain, "Calibrage", {383, 46, 339, 127}, true, false, false, {}});
  ui->add_control(kPlain, spec(kValider, ControlKind::button, {10, 10, 100, 25}, "Valider"));
  const HWND plain = window_titled(L"Calibrage");
  ASSERT_NE(plain, nullptr);
  PostMessageW(plain, WM_COMMAND, MAKEWPARAM(kValider, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(plain, kValider)));
  ASSERT_EQ(drain().size(), 1u);
  HWND owner = nullptr;
  BOOL owner_enabled = TRUE;
  EXPECT_TRUE(answer_box(
      L"Erreur",
      [&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        owner_enabled = IsWindowEnabled(plain);
      },
      [&] { ui->message_box("Erreur", "Valeur incorrecte"); }));
  EXPECT_EQ(owner, plain);
  EXPECT_FALSE(owner_enabled);
  EXPECT_TRUE(IsWindowEnabled(plain));  // and given back once the box is closed
}

LONG font_height(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return std::abs(font.lfHeight);
}

RECT rect_in(HWND window, HWND control) {
  RECT at;
  GetWindowRect(control, &at);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
  return at;
}

// Moved to a monitor of another scale (here from 100 % to 200 %), a window takes the place
// Windows suggests at the size of its layout at that scale, and so do its controls and fonts.
TEST_F(Win32ToolkitGuiTest, AWindowFollowsItsMonitorToAnotherScale) {
  HDC screen = GetDC(nullptr);
  const int screen_dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  if (screen_dpi != 96) GTEST_SKIP() << "a screen at 100 % only";
  const LONG graduation_height = font_height(GetDlgItem(panel, kGraduation));
  RECT suggested{100, 50, 200, 150};
  SendMessageW(panel, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  RECT client, outer;
  GetClientRect(panel, &client);
  GetWindowRect(panel, &outer);
  EXPECT_EQ(client.right, 2 * kPanelGeometry.w);
  EXPECT_EQ(client.bottom, 2 * kPanelGeometry.h);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.top, 50);
  const RECT open = rect_in(panel, GetDlgItem(panel, kOpen));
  EXPECT_EQ(open.left, 40);
  EXPECT_EQ(open.top, 380);
  EXPECT_EQ(open.right - open.left, 180);
  EXPECT_EQ(open.bottom - open.top, 40);
  const RECT list = rect_in(panel, GetDlgItem(panel, kList));
  EXPECT_NEAR(list.bottom - list.top, 40, 1);  // closed
  EXPECT_NEAR(font_height(GetDlgItem(panel, kGraduation)), 2 * graduation_height, 1);
}

// An owned window stands in front of its owner, with no taskbar button of its own.
TEST_F(Win32ToolkitGuiTest, AnOwnedWindowIsOwnedByItsOwnersWindow) {
  ui->create_window({kPlain, "Calibrage", {383, 46, 339, 127}, false, false, true, kPanel});
  const HWND owned = window_titled(L"Calibrage");
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), panel);
}

// Tab and Shift+Tab move between the controls; Ctrl+A selects a field's whole text.
TEST_F(Win32ToolkitGuiTest, TabMovesBetweenControlsAndCtrlASelectsAField) {
  const HWND field = GetDlgItem(panel, kField);
  ui->set_text(kField, "");
  SetFocus(field);
  press_key('7');
  press_key(VK_TAB);
  press_key('8');
  settle();
  EXPECT_EQ(ui->text(kField), "7");
  EXPECT_EQ(GetFocus(), GetNextDlgTabItem(panel, field, FALSE));
  EXPECT_NE(GetFocus(), field);
  press_key_with(VK_SHIFT, VK_TAB);
  press_key(VK_END);
  press_key_with(VK_CONTROL, 'A');
  press_key('9');
  settle();
  EXPECT_EQ(GetFocus(), field);
  EXPECT_EQ(ui->text(kField), "9");
}

TEST_F(Win32ToolkitGuiTest, EveryKindOfControlShows) {
  show_every_state(*ui);
  settle();
  EXPECT_TRUE(save_screenshot(KAVRI_BINARY_DIR "/screenshots/win32_toolkit.png"));
}

}  // namespace
}  // namespace kavri
