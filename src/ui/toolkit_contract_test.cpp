// What the program may count on from any toolkit: run on the headless toolkit with the unit
// tests, and on FLTK and on Win32 on a display with the GUI tests.
#include "testing/toolkit_contract.h"

namespace kavri {
namespace {

using namespace testing::test_panel;

TEST_P(ToolkitContract, RangedValuesStayInsideTheirRange) {
  ui->set_value(kPosition, 300);
  EXPECT_EQ(ui->value(kPosition), 255);
  ui->set_range(kPosition, 0, 65535);
  ui->set_value(kPosition, 1000);
  EXPECT_EQ(ui->value(kPosition), 1000);
  ui->set_range(kPosition, 0, 255);  // lowering the maximum pulls the value down with it
  EXPECT_EQ(ui->value(kPosition), 255);
  EXPECT_EQ(ui->range_max(kPosition), 255);
  ui->set_value(kPosition, -4);
  EXPECT_EQ(ui->value(kPosition), 0);

  ui->set_range(kProgress, 5, 9);  // a range not containing the value pulls it in
  EXPECT_EQ(ui->value(kProgress), 5);
  ui->set_range(kProgress, 3, 1);  // upside down: taken as 1..3
  EXPECT_EQ(ui->range_max(kProgress), 3);
  EXPECT_EQ(ui->value(kProgress), 3);

  ui->set_value(kReduced, 7);
  EXPECT_EQ(ui->value(kReduced), 1);
  ui->set_value(kBacklight, 9);
  ui->set_value(kDial, 180);
  ui->set_value(kLampOn, 1);
  EXPECT_EQ(ui->value(kBacklight), 9);
  EXPECT_EQ(ui->value(kDial), 180);
  EXPECT_EQ(ui->value(kLampOn), 1);
  EXPECT_TRUE(no_event());  // the program's own changes raise nothing
}

TEST_P(ToolkitContract, SelectionFollowsItsEntryAndClearsWhenOutOfRange) {
  ui->set_selection(kList, 1);
  EXPECT_EQ(ui->text(kList), "12");
  ui->insert_item(kList, 0, "30");  // before the selection: it moves with its entry
  EXPECT_EQ(ui->selection(kList), 2);
  EXPECT_EQ(ui->text(kList), "12");
  ui->insert_item(kList, 4, "9");  // after it: unchanged
  ui->insert_item(kList, 99, "last");
  EXPECT_EQ(ui->selection(kList), 2);
  ASSERT_EQ(ui->item_count(kList), 6);
  EXPECT_EQ(ui->item_text(kList, 3), "7");
  EXPECT_EQ(ui->item_text(kList, 5), "last");
  EXPECT_EQ(ui->item_text(kList, 6), "");
  EXPECT_EQ(ui->item_text(kList, -1), "");

  ui->set_selection(kList, 9);
  EXPECT_EQ(ui->selection(kList), -1);
  EXPECT_EQ(ui->text(kList), "");
  ui->set_selection(kList, 0);
  ui->clear_items(kList);
  EXPECT_EQ(ui->selection(kList), -1);
  EXPECT_EQ(ui->item_count(kList), 0);
  EXPECT_TRUE(no_event());
}

TEST_P(ToolkitContract, TextsStatesAndTitlesReadBack) {
  ui->set_text(kStatus, "Connecté");
  ui->set_background(kStatus, {0, 255, 0});
  EXPECT_EQ(ui->text(kStatus), "Connecté");
  ui->set_text(kField, "1000 é");
  EXPECT_EQ(ui->text(kField), "1000 é");
  EXPECT_FALSE(ui->enabled(kSetMin));
  ui->set_enabled(kOpen, false);
  EXPECT_FALSE(ui->enabled(kOpen));
  ui->set_enabled(kOpen, true);
  EXPECT_TRUE(ui->enabled(kOpen));

  ui->set_window_title(kPanel, "Paramétrages");
  ui->set_minimised(kPanel, true);
  EXPECT_TRUE(ui->minimised(kPanel));
  ui->set_minimised(kPanel, false);
  EXPECT_FALSE(ui->minimised(kPanel));
  EXPECT_TRUE(no_event());
}

TEST_P(ToolkitContract, AWindowGoesWithItsControlsAndNamingNothingDoesNothing) {
  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  ui->add_control(kPlain, spec(kCount, ControlKind::label, {10, 10, 200, 20}, "Copie"));
  EXPECT_EQ(ui->text(kCount), "Copie");  // the number now names the new control only
  ui->create_window({kPlain, "progression", {383, 46, 339, 127}, false, false, true, {}});
  EXPECT_FALSE(ui->control_exists(kCount));  // recreating a window replaces its controls

  ui->destroy_window(kPanel);
  EXPECT_FALSE(ui->window_exists(kPanel));
  EXPECT_FALSE(ui->control_exists(kOpen));
  ui->set_text(kField, "x");
  ui->set_value(kPosition, 3);
  ui->add_item(kList, "x");
  ui->set_minimised(kPanel, true);
  ui->add_control(kPanel, spec(99, ControlKind::label, {0, 0, 10, 10}));
  EXPECT_FALSE(ui->control_exists(99));
  EXPECT_EQ(ui->text(kField), "");
  EXPECT_EQ(ui->value(kPosition), 0);
  EXPECT_EQ(ui->selection(kList), -1);
  EXPECT_EQ(ui->item_count(kList), 0);
  EXPECT_FALSE(ui->enabled(kOpen));
  EXPECT_FALSE(ui->minimised(kPanel));
  EXPECT_TRUE(no_event());
}

// A window that belongs to another goes with it, whether the owner is destroyed or replaced;
// one that names a missing owner stands on its own.
TEST_P(ToolkitContract, AnOwnedWindowGoesWithItsOwner) {
  WindowSpec owned{kPlain, "Calibrage", {383, 46, 339, 127}, false, false, true, kPanel};
  ASSERT_TRUE(ui->create_window(owned));
  ui->add_control(kPlain, spec(kCount, ControlKind::label, {10, 10, 200, 20}, "Copie"));
  ui->destroy_window(kPanel);
  EXPECT_FALSE(ui->window_exists(kPlain));
  EXPECT_FALSE(ui->control_exists(kCount));

  ASSERT_TRUE(testing::test_panel::build_test_panel(*ui, 20));
  ASSERT_TRUE(ui->create_window(owned));
  ASSERT_TRUE(testing::test_panel::build_test_panel(*ui, 20));
  EXPECT_FALSE(ui->window_exists(kPlain));

  owned.owner = 42;
  ASSERT_TRUE(ui->create_window(owned));
  ui->destroy_window(42);
  EXPECT_TRUE(ui->window_exists(kPlain));
  EXPECT_TRUE(no_event());
}

}  // namespace
}  // namespace kavri
