#include "ui/headless_toolkit.h"

#include <gtest/gtest.h>

namespace kavri {
namespace {

constexpr int kWindow = 4;
constexpr int kSlider = 10, kList = 11, kField = 12, kButton = 13, kBox = 14, kBar = 15;

ControlSpec control(int number, ControlKind kind, std::string text = "", int min = 0, int max = 0) {
  ControlSpec spec;
  spec.number = number;
  spec.kind = kind;
  spec.text = std::move(text);
  spec.range_min = min;
  spec.range_max = max;
  return spec;
}

FileDialogSpec dialog(std::string title) {
  FileDialogSpec spec;
  spec.title = std::move(title);
  return spec;
}

class HeadlessToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.create_window({kWindow, "Paramètres", {10, 20, 300, 200}, false, true, false});
    ui.add_control(kWindow, control(kSlider, ControlKind::slider, "", 0, 255));
    ui.add_control(kWindow, control(kList, ControlKind::drop_down));
    ui.add_control(kWindow, control(kField, ControlKind::text_field, "127"));
    ui.add_control(kWindow, control(kButton, ControlKind::button, "Reset"));
    ui.add_control(kWindow, control(kBox, ControlKind::check_box));
    ui.add_control(kWindow, control(kBar, ControlKind::progress_bar, "", 5, 9));
  }
  std::vector<Event> drain() {
    std::vector<Event> events;
    while (auto event = ui.poll_event()) events.push_back(*event);
    return events;
  }
  HeadlessToolkit ui;
};

TEST_F(HeadlessToolkitTest, RangedValuesStayInsideTheirRange) {
  ui.set_value(kSlider, 300);
  EXPECT_EQ(ui.value(kSlider), 255);
  ui.set_range(kSlider, 0, 65535);
  ui.set_value(kSlider, 300);
  ui.set_range(kSlider, 0, 255);  // lowering the maximum pulls the value down with it
  EXPECT_EQ(ui.value(kSlider), 255);
  EXPECT_EQ(ui.range_max(kSlider), 255);
  ui.set_value(kSlider, -4);
  EXPECT_EQ(ui.value(kSlider), 0);

  EXPECT_EQ(ui.value(kBar), 5);  // a range not containing 0 starts at its minimum
  ui.set_range(kBar, 3, 1);      // upside down: taken as 1..3
  EXPECT_EQ(ui.range_max(kBar), 3);
  EXPECT_EQ(ui.value(kBar), 3);

  ui.set_value(kBox, 7);
  EXPECT_EQ(ui.value(kBox), 1);
  EXPECT_EQ(ui.pending_events(), 0u);  // the program's own changes raise nothing
}

TEST_F(HeadlessToolkitTest, SelectionFollowsItsEntryAndClearsWhenOutOfRange) {
  ui.add_item(kList, "50");
  ui.add_item(kList, "12");
  ui.set_selection(kList, 1);
  EXPECT_EQ(ui.text(kList), "12");
  ui.insert_item(kList, 0, "7");  // before the selection: it moves with its entry
  EXPECT_EQ(ui.selection(kList), 2);
  EXPECT_EQ(ui.text(kList), "12");
  ui.insert_item(kList, 3, "9");  // after it: unchanged
  ui.insert_item(kList, 99, "last");
  EXPECT_EQ(ui.selection(kList), 2);
  ASSERT_EQ(ui.item_count(kList), 5);
  EXPECT_EQ(ui.item_text(kList, 4), "last");
  EXPECT_EQ(ui.item_text(kList, 5), "");
  EXPECT_EQ(ui.item_text(kList, -1), "");

  ui.set_selection(kList, 5);
  EXPECT_EQ(ui.selection(kList), -1);
  EXPECT_EQ(ui.text(kList), "");
  ui.set_selection(kList, 0);
  ui.clear_items(kList);
  EXPECT_EQ(ui.selection(kList), -1);
  EXPECT_EQ(ui.item_count(kList), 0);
}

TEST_F(HeadlessToolkitTest, UserActionsRaiseTheEventsOfARealScreen) {
  ui.add_item(kList, "0");
  ui.add_item(kList, "1");
  ui.user_move_slider(kSlider, 400);
  ui.user_select(kList, 1);
  ui.user_select(kList, 2);  // no such entry: nothing to click
  ui.user_type(kField, "42");
  ui.user_press(kButton);
  ui.user_toggle(kBox);
  ui.user_press(kSlider);  // wrong kind: nothing happens

  EXPECT_EQ(ui.value(kSlider), 255);
  EXPECT_EQ(ui.selection(kList), 1);
  EXPECT_EQ(ui.text(kField), "42");
  EXPECT_EQ(ui.value(kBox), 1);
  std::vector<int> controls;
  for (const Event& event : drain()) {
    EXPECT_EQ(event.kind, Event::Kind::control);
    EXPECT_EQ(event.window, kWindow);
    controls.push_back(event.control);
  }
  EXPECT_EQ(controls, (std::vector<int>{kSlider, kList, kButton, kBox}));

  ui.set_enabled(kButton, false);
  ui.user_press(kButton);
  EXPECT_FALSE(ui.poll_event());
}

TEST_F(HeadlessToolkitTest, OnlyAWindowWithACloseBoxCanBeClosed) {
  ui.user_close(kWindow);
  EXPECT_FALSE(ui.poll_event());
  ui.create_window({0, "Kavri", {355, 124, 557, 378}, true, true, true});
  ui.user_close(0);
  auto event = ui.poll_event();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, Event::Kind::close);
  EXPECT_EQ(event->window, 0);
  EXPECT_TRUE(ui.window_exists(0));  // closing is the program's decision
}

TEST_F(HeadlessToolkitTest, DestroyingAWindowTakesItsControlsAndPendingEvents) {
  ui.user_press(kButton);
  ui.destroy_window(kWindow);
  EXPECT_FALSE(ui.window_exists(kWindow));
  EXPECT_FALSE(ui.control_exists(kButton));
  EXPECT_FALSE(ui.poll_event());

  // Every call naming something missing does nothing and reads back neutral values.
  ui.set_text(kField, "x");
  ui.set_value(kSlider, 3);
  ui.add_item(kList, "x");
  ui.set_minimised(kWindow, true);
  ui.user_close(kWindow);
  ui.add_control(kWindow, control(99, ControlKind::label));
  EXPECT_FALSE(ui.control_exists(99));
  EXPECT_EQ(ui.text(kField), "");
  EXPECT_EQ(ui.value(kSlider), 0);
  EXPECT_EQ(ui.selection(kList), -1);
  EXPECT_EQ(ui.item_count(kList), 0);
  EXPECT_FALSE(ui.enabled(kButton));
  EXPECT_FALSE(ui.minimised(kWindow));
  EXPECT_FALSE(ui.poll_event());
}

TEST_F(HeadlessToolkitTest, RecreatingAWindowReplacesItsControls) {
  ui.create_window({kWindow, "Autre", {0, 0, 10, 10}});
  EXPECT_EQ(ui.window(kWindow)->spec.title, "Autre");
  EXPECT_FALSE(ui.control_exists(kSlider));
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

  ui.queue_file_choice("/tmp/a.jcf");
  EXPECT_EQ(ui.choose_file(dialog("Importe")), "/tmp/a.jcf");
  EXPECT_EQ(ui.choose_file(dialog("Exporte")), "");
  ASSERT_EQ(ui.file_dialogs().size(), 2u);
  EXPECT_EQ(ui.file_dialogs()[1].title, "Exporte");
}

}  // namespace
}  // namespace kavri
