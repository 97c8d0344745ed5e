// The main window's controls driven as a user would, through the headless toolkit, on an
// explored virtual bus: what the fields show, what the bus receives, and what the records hold.
#include <gtest/gtest.h>

#include "procedures/progress_window.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

using testing::module_at;
using testing::ShellRig;

// A bus of four modules, explored, with the main window as the user finds it afterwards.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state = start_up(rig.ports());
    ASSERT_NE(state, nullptr);
    ASSERT_TRUE(ShellRig::wait_for_exploration(*state));
    // Shows what the exploration posted without starting the link monitor, which the exploration
    // over step would: these tests are about the window alone.
    state->exploration_done = false;
    state->posts.apply_all(rig.ui);
    ASSERT_EQ(rig.ui.item_count(MainControl::module_selector), 5);
    ASSERT_EQ(rig.ui.selection(MainControl::module_selector), 0);
    rig.card.clear_received();
  }

  // One pass of the main loop: the event the user raised is handled.
  void pass() {
    LoopEnd end;
    ASSERT_FALSE(run_pass(*state, std::nullopt, end));
  }
  // The user's choice, move or press, then the pass that handles it.
  void select(int entry) { choose(MainControl::module_selector, entry); }
  void choose(int list, int entry) {
    rig.ui.user_select(list, entry);
    pass();
  }
  void move(int slider, int value) {
    rig.ui.user_move_slider(slider, value);
    pass();
  }
  void press(int control) {
    rig.ui.user_press(control);
    pass();
  }
  std::string text(int control) const { return rig.ui.text(control); }

  ShellRig rig{{module_at(12, 5), module_at(20, 17), module_at(33, 31), module_at(41, 35)}};
  std::unique_ptr<AppState> state;
};

TEST_F(MainWindowTest, TheExplorationFillsTheWindows) {
  const auto items = [this](int list) {
    std::vector<std::string> texts;
    for (int i = 0; i < rig.ui.item_count(list); ++i) texts.push_back(rig.ui.item_text(list, i));
    return texts;
  };
  EXPECT_EQ(items(MainControl::module_selector),
            (std::vector<std::string>{"50", "12", "20", "33", "41"}));
  // Each type byte goes in first place: the last module found leads the list.
  EXPECT_EQ(items(MainControl::type_bytes_list), (std::vector<std::string>{"35", "31", "17", "5"}));
  EXPECT_EQ(text(MainControl::module_count_label), "Nombre de modules : 4");
  EXPECT_EQ(text(ProgressControl::caption), "Identification des jauges");
  EXPECT_EQ(rig.ui.value(ProgressControl::bar), 50);
}

TEST_F(MainWindowTest, Slider1On360DegreeModuleSendsTenfoldPositionHighByteFirst) {
  select(2);  // address 20, type 17
  EXPECT_EQ(rig.ui.range_max(MainControl::position_slider_1), 359);
  move(MainControl::position_slider_1, 100);
  EXPECT_EQ(text(MainControl::value_field_1), "1000");
  EXPECT_EQ(text(MainControl::value_field_2), "3");
  EXPECT_EQ(rig.card.received(),
            (std::vector<BusReport>{make_report(CMD_SET_POSITION_2, 20, 3),
                                    make_report(CMD_SET_POSITION_1, 20, 232)}));
}

TEST_F(MainWindowTest, Type35TakesTheTenfoldRuleButKeepsTheByteRange) {
  select(4);  // address 41, type 35
  EXPECT_EQ(rig.ui.range_max(MainControl::position_slider_1), 255);
  EXPECT_TRUE(rig.ui.enabled(MainControl::position_slider_2));
  move(MainControl::position_slider_1, 255);
  EXPECT_EQ(text(MainControl::value_field_1), "2550");
  EXPECT_EQ(rig.card.received(),
            (std::vector<BusReport>{make_report(CMD_SET_POSITION_2, 41, 9),
                                    make_report(CMD_SET_POSITION_1, 41, 246)}));
}

TEST_F(MainWindowTest, SixteenBitModuleWidensSlider1AndCommonEntryBringsItBack) {
  select(3);  // address 33, type 31
  EXPECT_EQ(rig.ui.range_max(MainControl::position_slider_1), 65535);
  EXPECT_FALSE(rig.ui.enabled(MainControl::position_slider_2));
  EXPECT_TRUE(rig.ui.enabled(MainControl::parameters_button));
  EXPECT_FALSE(rig.ui.enabled(MainControl::set_min_1));
  move(MainControl::position_slider_1, 300);
  EXPECT_EQ(text(MainControl::value_field_1), "300");
  EXPECT_EQ(text(MainControl::value_field_2), "1");
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{make_report(CMD_SET_POSITION_2, 33, 1),
                                                         make_report(CMD_SET_POSITION_1, 33, 44)}));

  rig.card.clear_received();
  select(0);
  EXPECT_EQ(rig.ui.value(MainControl::position_slider_1), 255);
  EXPECT_EQ(text(MainControl::value_field_1), "255");
  EXPECT_EQ(rig.ui.range_max(MainControl::position_slider_1), 255);
  EXPECT_TRUE(rig.ui.enabled(MainControl::position_slider_2));
  EXPECT_FALSE(rig.ui.enabled(MainControl::parameters_button));
  EXPECT_FALSE(rig.ui.enabled(MainControl::set_max_2));
  EXPECT_TRUE(rig.card.received().empty());  // a selection sends nothing
}

TEST_F(MainWindowTest, PlainModuleAndCommonEntrySendOneBytePositions) {
  select(1);  // address 12, type 5
  EXPECT_TRUE(rig.ui.enabled(MainControl::set_min_1));
  EXPECT_TRUE(rig.ui.enabled(MainControl::parameters_button));
  move(MainControl::position_slider_1, 200);
  move(MainControl::position_slider_2, 17);
  select(0);
  move(MainControl::position_slider_1, 9);
  EXPECT_EQ(text(MainControl::value_field_1), "9");
  EXPECT_EQ(text(MainControl::value_field_2), "17");
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{make_report(CMD_SET_POSITION_1, 12, 200),
                                                         make_report(CMD_SET_POSITION_2, 12, 17),
                                                         make_report(CMD_SET_POSITION_1, 50, 9)}));
}

TEST_F(MainWindowTest, BacklightGoesToTheCommonAddressAndReachesTheTransferMirror) {
  select(2);
  move(MainControl::backlight_slider, 15);
  EXPECT_EQ(state->backlight_level.load(), 15);
  move(MainControl::backlight_slider, 0);
  EXPECT_EQ(state->backlight_level.load(), 0);
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{make_report(CMD_SET_BACKLIGHT, 50, 255),
                                                         make_report(CMD_SET_BACKLIGHT, 50, 0)}));
}

TEST_F(MainWindowTest, OutputListsSendTheEntryIndexAndResetTheSelectedModule) {
  select(1);
  choose(MainControl::output_list_1, 2);  // "-1"
  choose(MainControl::output_list_2, 1);  // "1"
  press(MainControl::reset_button);
  EXPECT_EQ(rig.card.received(), (std::vector<BusReport>{make_report(CMD_SET_OUTPUT_1, 12, 2),
                                                         make_report(CMD_SET_OUTPUT_2, 12, 1),
                                                         make_report(CMD_RESET_MODULE, 12, 0)}));
}

TEST_F(MainWindowTest, CourseButtonsStoreIntoTheEditorModuleNotTheSelection) {
  select(4);  // address 41: the selection; the parameter window was never opened
  rig.ui.user_type(MainControl::value_field_1, "$20");
  rig.ui.user_type(MainControl::value_field_2, "300");
  press(MainControl::set_min_1);
  press(MainControl::set_max_2);
  const ModuleRecord& first = state->modules.records[0];
  EXPECT_EQ(first.gauges[0].course_min.load(), 0x20);
  EXPECT_EQ(first.gauges[1].course_max.load(), 300 % 256);
  EXPECT_EQ(state->modules.records[3].gauges[0].course_min.load(), 0);

  state->windows.editor_module = 1;
  rig.ui.user_type(MainControl::value_field_1, "not a number");
  press(MainControl::set_max_1);
  EXPECT_EQ(state->modules.records[1].gauges[0].course_max.load(), 0);
  EXPECT_TRUE(rig.card.received().empty());  // typing and the set buttons send nothing
}

// During the exploration the selector holds "50" alone, with no selection.
TEST(MainWindowDuringExploration, Slider1WithoutSelectionGoesToTheCommonAddress) {
  ShellRig rig;
  rig.card.set_silent(true);  // the exploration waits for an answer that never comes
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  ASSERT_EQ(rig.ui.selection(MainControl::module_selector), -1);
  EXPECT_FALSE(rig.ui.enabled(MainControl::parameters_button));
  rig.card.clear_received();
  rig.ui.user_move_slider(MainControl::position_slider_1, 40);
  // Straight to the handler: the main loop would first take the fatal end that the silent card
  // leads to.
  state->dispatch.control_handlers.at(MainControl::position_slider_1)();
  EXPECT_EQ(rig.ui.text(MainControl::value_field_1), "40");
  EXPECT_EQ(rig.card.received(), std::vector<BusReport>{make_report(CMD_SET_POSITION_1, 50, 40)});
}

}  // namespace
}  // namespace kavri
