// The FLTK toolkit on a real X display (Xvfb in CI): the toolkit contract, and what only a
// display shows. User input is sent as X events to the windows, so it goes through the same
// path as a click or a key of the user.
// GoogleTest before the X headers: Xlib defines None and Bool as macros, which GoogleTest's
// own names would otherwise turn into.
// clang-format off
#include <gtest/gtest.h>
#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/keysym.h>
// clang-format on

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/files.h"
#include "testing/screenshot.h"
#include "testing/toolkit_contract.h"
#include "ui/toolkit.h"

namespace kavri {
namespace {

using namespace testing::test_panel;

INSTANTIATE_TEST_SUITE_P(Fltk, ToolkitContract, ::testing::Values(&make_platform_toolkit));

// FLTK ends the process when it cannot open its display; the factory must answer null instead.
TEST(FltkToolkitDisplayTest, WithoutADisplayThereIsNoToolkit) {
  if (fl_display != nullptr) GTEST_SKIP() << "this process has its display open already";
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  setenv("DISPLAY", ":9871", 1);  // no server there
  EXPECT_EQ(make_platform_toolkit(), nullptr);
  if (display != nullptr) {
    setenv("DISPLAY", saved.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
}

class FltkToolkitGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
    ui = make_platform_toolkit();
    ASSERT_NE(ui, nullptr);
    ASSERT_TRUE(build_test_panel(*ui, 20));
    settle();
  }

  // Lets the windows map and paint, and the X server deliver what was sent to them.
  void settle() {
    XSync(fl_display, False);
    for (int i = 0; i < 10; ++i) Fl::wait(0.01);
  }

  std::vector<Event> drain() {
    XSync(fl_display, False);
    std::vector<Event> events;
    for (int i = 0; i < 20; ++i) {
      while (auto event = ui->poll_event()) events.push_back(*event);
      XSync(fl_display, False);
    }
    return events;
  }

  static Window xid_of(const char* title) {
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
      if (w->label() != nullptr && std::string(w->label()) == title) return fl_xid(w);
    }
    return 0;
  }

  static void click(Window window, int x, int y) {
    for (int type : {ButtonPress, ButtonRelease}) {
      XEvent event{};
      event.xbutton.type = type;
      event.xbutton.display = fl_display;
      event.xbutton.window = window;
      event.xbutton.root = RootWindow(fl_display, fl_screen);
      event.xbutton.x = x;
      event.xbutton.y = y;
      event.xbutton.x_root = kPanelGeometry.x + x;
      event.xbutton.y_root = kPanelGeometry.y + y;
      event.xbutton.button = Button1;
      event.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
      event.xbutton.same_screen = True;
      XSendEvent(fl_display, window, True, ButtonPressMask | ButtonReleaseMask, &event);
    }
  }

  static void press_escape(Window window) {
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.display = fl_display;
    event.xkey.window = window;
    event.xkey.root = RootWindow(fl_display, fl_screen);
    event.xkey.keycode = XKeysymToKeycode(fl_display, XK_Escape);
    event.xkey.same_screen = True;
    XSendEvent(fl_display, window, True, KeyPressMask, &event);
  }

  static void close_box(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
    XSendEvent(fl_display, window, False, NoEventMask, &event);
  }

  std::unique_ptr<Toolkit> ui;
};

TEST_F(FltkToolkitGuiTest, ClicksRaiseControlEventsWithTheNewState) {
  const Window panel = xid_of("Paramètres");
  ASSERT_NE(panel, 0u);
  click(panel, 50, 200);   // "Paramètres"
  click(panel, 150, 200);  // "Set min.", disabled: nothing
  click(panel, 27, 235);   // the reduced-start box
  click(panel, 205, 157);  // near the right end of the position slider
  std::vector<int> controls;
  for (const Event& event : drain()) {
    EXPECT_EQ(event.kind, Event::Kind::control);
    EXPECT_EQ(event.window, kPanel);
    if (controls.empty() || controls.back() != event.control) controls.push_back(event.control);
  }
  EXPECT_EQ(controls, (std::vector<int>{kOpen, kReduced, kPosition}));
  EXPECT_EQ(ui->value(kReduced), 1);
  EXPECT_GT(ui->value(kPosition), 200);
  EXPECT_LE(ui->value(kPosition), 255);
}

TEST_F(FltkToolkitGuiTest, OnlyACloseBoxClosesAndEscapeNever) {
  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  settle();
  const Window panel = xid_of("Paramètres"), plain = xid_of("progression");
  ASSERT_NE(plain, 0u);
  press_escape(panel);
  press_escape(plain);
  close_box(plain);
  EXPECT_TRUE(drain().empty());
  close_box(panel);
  const std::vector<Event> events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Event::Kind::close);
  EXPECT_EQ(events[0].window, kPanel);
  EXPECT_TRUE(ui->window_exists(kPanel));  // closing is the program's decision
}

// The window manager keeps an owned window in front of its owner, as a dialog of it.
TEST_F(FltkToolkitGuiTest, AnOwnedWindowIsTheDialogOfItsOwner) {
  ui->create_window({kPlain, "Calibrage", {383, 46, 339, 127}, false, false, true, kPanel});
  settle();
  Window owner = 0;
  ASSERT_TRUE(XGetTransientForHint(fl_display, xid_of("Calibrage"), &owner));
  EXPECT_EQ(owner, xid_of("Paramètres"));
}

TEST_F(FltkToolkitGuiTest, MessageBoxReturnsOnceDismissed) {
  Fl::add_timeout(0.05, [](void*) {
    if (Fl_Window* box = Fl::modal()) {
      Fl::flush();
      save_screenshot(KAVRI_BINARY_DIR "/screenshots/toolkit_message_box.png");
      box->hide();
    } else {
      Fl::repeat_timeout(0.05, nullptr);
    }
  });
  ui->message_box("Erreur", "Je ne trouve pas de module sur le Kavri");
  EXPECT_EQ(Fl::modal(), nullptr);
}

// What FLTK's own file chooser showed when it came up, before it was closed.
struct ChooserSeen {
  std::string directory, name, filter;
  bool takes_new_files = false;
};

// The first drop-down list inside `group`: the chooser's list of filters.
const Fl_Choice* first_list(const Fl_Group& group) {
  for (int i = 0; i < group.children(); ++i) {
    const Fl_Widget* child = group.child(i);
    if (const auto* list = dynamic_cast<const Fl_Choice*>(child)) return list;
    if (const auto* inner = dynamic_cast<const Fl_Group*>(child)) {
      if (const Fl_Choice* list = first_list(*inner)) return list;
    }
  }
  return nullptr;
}

// A timeout that waits for the chooser titled "Exporte la configuration", notes what it shows
// and closes it as its OK button does.
void note_chooser(void* data) {
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
    if (w->label() == nullptr || std::string(w->label()) != "Exporte la configuration") continue;
    auto* chooser = static_cast<Fl_File_Chooser*>(w->user_data());
    auto& seen = *static_cast<ChooserSeen*>(data);
    seen.directory = chooser->directory();
    const char* value = chooser->value();
    seen.name = value != nullptr ? value : "";
    const Fl_Choice* filters = first_list(*w);
    seen.filter = filters != nullptr && filters->size() > 0 ? filters->menu()[0].label() : "";
    seen.takes_new_files = (chooser->type() & Fl_File_Chooser::CREATE) != 0;
    w->hide();
    return;
  }
  Fl::repeat_timeout(0.05, note_chooser, data);
}

// FLTK's own chooser, which serves where GTK is absent: both dialogs start in the initial
// folder with the proposed name, the filter reads once, and the save dialog takes a new file.
TEST_F(FltkToolkitGuiTest, FltksOwnFileChooserStartsWhereAskedAndSavesToNewFiles) {
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  const ScratchDirectory parent;
  const std::string work = parent.file("work");
  std::filesystem::create_directory(work);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work);
  for (const bool save : {true, false}) {
    ChooserSeen seen;
    Fl::add_timeout(0.05, note_chooser, &seen);
    const std::string chosen = ui->choose_file({"Exporte la configuration", "..", "Jauge.jcf",
                                                "Kavri jauge config.(*.jcf)", "*.jcf", save});
    EXPECT_EQ(seen.directory, parent.path()) << save;
    EXPECT_EQ(seen.name, parent.file("Jauge.jcf")) << save;
    EXPECT_EQ(seen.filter, "Kavri jauge config.(*.jcf)") << save;
    EXPECT_EQ(seen.takes_new_files, save);
    EXPECT_EQ(chosen, parent.file("Jauge.jcf")) << save;
  }
  std::filesystem::current_path(before);
}

TEST_F(FltkToolkitGuiTest, EveryKindOfControlShows) {
  show_every_state(*ui);
  settle();
  EXPECT_TRUE(save_screenshot(KAVRI_BINARY_DIR "/screenshots/toolkit.png"));
}

}  // namespace
}  // namespace kavri
