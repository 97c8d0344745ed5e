// The headless toolkit's own side: the user's actions, as tests and the headless bench play
// them, and the dialogs it records. The rules it shares with every toolkit are the contract's
// (toolkit_contract_test.cpp), run here on it.
#include "ui/headless_toolkit.h"

#include <gtest/gtest.h>

#include "testing/toolkit_contract.h"

namespace kavri {
namespace {

using namespace testing::test_panel;

std::unique_ptr<Toolkit> make_headless() { return std::make_unique<HeadlessToolkit>(); }
INSTANTIATE_TEST_SUITE_P(Headless, ToolkitContract, ::testing::Values(&make_headless));

class HeadlessToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(build_test_panel(ui, 20)); }
  std::vector<Event> drain() {
    std::vector<Event> events;
    while (auto event = ui.poll_event()) events.push_back(*event);
    return events;
  }
  HeadlessToolkit ui;
};

TEST_F(HeadlessToolkitTest, UserActionsRaiseTheEventsOfARealScreen) {
  ui.user_move_slider(kPosition, 400);
  ui.user_select(kList, 1);
  ui.user_select(kList, 3);  // no such entry: nothing to click
  ui.user_type(kField, "42");
  ui.user_press(kOpen);
  ui.user_toggle(kReduced);
  ui.user_press(kPosition);  // wrong kind: nothing happens
  ui.user_press(kSetMin);    // disabled: nothing happens

  EXPECT_EQ(ui.value(kPosition), 255);
  EXPECT_EQ(ui.selection(kList), 1);
  EXPECT_EQ(ui.text(kField), "42");
  EXPECT_EQ(ui.value(kReduced), 1);
  std::vector<int> controls;
  for (const Event& event : drain()) {
    EXPECT_EQ(event.kind, Event::Kind::control);
    EXPECT_EQ(event.window, kPanel);
    controls.push_back(event.control);
  }
  EXPECT_EQ(controls, (std::vector<int>{kPosition, kList, kOpen, kReduced}));
}

TEST_F(HeadlessToolkitTest, OnlyAWindowWithACloseBoxCanBeClosed) {
  ui.create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  ui.user_close(kPlain);
  EXPECT_FALSE(ui.poll_event());
  ui.user_close(kPanel);
  auto event = ui.poll_event();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, Event::Kind::close);
  EXPECT_EQ(event->window, kPanel);
  EXPECT_TRUE(ui.window_exists(kPanel));  // closing is the program's decision
}

TEST_F(HeadlessToolkitTest, DestroyingAWindowDropsItsPendingEvents) {
  ui.user_press(kOpen);
  ui.destroy_window(kPanel);
  ui.user_close(kPanel);
  EXPECT_FALSE(ui.poll_event());
}

TEST_F(HeadlessToolkitTest, DialogsAreRecordedAndAnswered) {
  std::vector<std::string> shown;
  ui.set_message_sink([&](std::string_view title, std::string_view text) {
    shown.push_back(std::string(title) + ":" + std::string(text));
  });
  ui.message_box("Erreur", "Pas de carte");
  EXPECT_EQ(shown, (std::vector<std::string>{"Erreur:Pas de carte"}));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].second, "Pas de carte");

  FileDialogSpec importe, exporte;
  importe.title = "Importe";
  exporte.title = "Exporte";
  ui.queue_file_choice("/tmp/a.jcf");
  EXPECT_EQ(ui.choose_file(importe), "/tmp/a.jcf");
  EXPECT_EQ(ui.choose_file(exporte), "");
  ASSERT_EQ(ui.file_dialogs().size(), 2u);
  EXPECT_EQ(ui.file_dialogs()[1].title, "Exporte");
}

}  // namespace
}  // namespace kavri
