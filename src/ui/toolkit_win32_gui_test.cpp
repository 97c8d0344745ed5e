// The Win32 toolkit on a real desktop (Wine on Xvfb in CI): the toolkit contract, and what only
// the native controls show. User input goes through the system's input queue (SendInput), the
// path a click or a key of the user takes.
#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <atomic>
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

  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true});
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
  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true});
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
    Sleep(200);  // let it paint
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

// A box raised by a click in a second window stands in front of that window and holds it, not
// the first one behind it: the user is never left facing a window that does not answer.
TEST_F(Win32ToolkitGuiTest, ABoxBelongsToTheWindowTheUserActedIn) {
  constexpr int kValider = 77;
  ui->create_window({kPlain, "Calibrage", {383, 46, 339, 127}, true, false, false});
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
