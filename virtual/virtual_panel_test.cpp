#include "virtual/virtual_panel.h"

#include <gtest/gtest.h>

#include "ui/headless_toolkit.h"
#include "virtual/bench_modules_file.h"

namespace kavri {
namespace {

void send(VirtualCard& card, std::uint8_t code, std::uint8_t address, std::uint8_t data) {
  card.write_report(BusReport{0, code, address, data, 0, 0, 0, 0, 0});
}

// Runs the handlers of the pending events, as the main loop does.
void run_events(HeadlessToolkit& ui, Dispatch& dispatch) {
  while (auto event = ui.poll_event()) {
    if (event->kind == Event::Kind::control) {
      dispatch.control_handlers.at(event->control)();
    } else {
      dispatch.close_handlers.at(event->window)();
    }
  }
}

struct PanelRig {
  HeadlessToolkit ui;
  VirtualCard card{demo_bench()};
  Dispatch dispatch;
  VirtualPanel panel{ui, card, dispatch};
};

TEST(VirtualPanel, ShowsEveryModuleOfTheBenchInItsWindow) {
  PanelRig rig;
  const auto* window = rig.ui.window(VIRTUAL_PANEL_WINDOW);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->spec.title, "Kavri - banc virtuel");
  EXPECT_LE(window->spec.geometry.w, 800);
  EXPECT_LE(window->spec.geometry.h, 400);
  EXPECT_EQ(rig.ui.text(VirtualPanel::address_label(0)), "Module 12");
  EXPECT_EQ(rig.ui.text(VirtualPanel::address_label(3)), "Module 41");
  EXPECT_EQ(rig.ui.value(VirtualPanel::analog_slider(0)), 1000);
  EXPECT_EQ(rig.ui.text(VirtualPanel::analog_label(0)), "Entrée analogique : 1000");
  EXPECT_EQ(rig.ui.text(VirtualPanel::backlight_label()), "Rétroéclairage : 0");
  for (int i = 0; i < 4; ++i) {
    for (int k : {VirtualPanel::dial(i, 1), VirtualPanel::dial(i, 2), VirtualPanel::lamp(i, 1),
                  VirtualPanel::lamp(i, 2), VirtualPanel::analog_slider(i)}) {
      ASSERT_TRUE(rig.ui.control_exists(k)) << k;
      EXPECT_GE(k, VIRTUAL_PANEL_FIRST_CONTROL);
      EXPECT_EQ(rig.ui.control(k)->window, VIRTUAL_PANEL_WINDOW);
    }
  }
}

TEST(VirtualPanel, NeedlesLampsAndBacklightFollowTheLastCommands) {
  PanelRig rig;
  send(rig.card, CMD_SET_POSITION_1, 12, 200);
  send(rig.card, CMD_SET_POSITION_2, 12, 7);
  send(rig.card, CMD_SET_POSITION_1, 20, 0x10);  // type 17: one 16-bit needle
  send(rig.card, CMD_SET_POSITION_2, 20, 0x0D);
  send(rig.card, CMD_SET_OUTPUT_1, 12, 1);
  send(rig.card, CMD_SET_OUTPUT_2, 20, 2);
  send(rig.card, CMD_SET_BACKLIGHT, COMMON_ADDRESS, 170);
  rig.panel.refresh();

  EXPECT_EQ(rig.ui.value(VirtualPanel::dial(0, 1)), 200);
  EXPECT_EQ(rig.ui.text(VirtualPanel::dial(0, 1)), "Jauge 1 : 200");
  EXPECT_EQ(rig.ui.value(VirtualPanel::dial(0, 2)), 7);
  EXPECT_EQ(rig.ui.range_max(VirtualPanel::dial(0, 1)), 255);
  EXPECT_EQ(rig.ui.range_max(VirtualPanel::dial(1, 1)), 3599);
  EXPECT_EQ(rig.ui.value(VirtualPanel::dial(1, 1)), 0x0D10);
  EXPECT_FALSE(rig.ui.enabled(VirtualPanel::dial(1, 2)));
  EXPECT_NE(rig.ui.value(VirtualPanel::lamp(0, 1)), 0);
  EXPECT_EQ(rig.ui.value(VirtualPanel::lamp(0, 2)), 0);
  EXPECT_NE(rig.ui.value(VirtualPanel::lamp(1, 2)), 0);
  EXPECT_EQ(rig.ui.value(VirtualPanel::backlight_bar()), 170);
  EXPECT_EQ(rig.ui.text(VirtualPanel::backlight_label()), "Rétroéclairage : 170");

  // An EEPROM write of another gauge type and an address change show at the next pass.
  send(rig.card, 57, 20, 31);
  send(rig.card, CMD_SET_ADDRESS, 20, 21);
  rig.panel.refresh();
  EXPECT_EQ(rig.ui.range_max(VirtualPanel::dial(1, 1)), 65535);
  EXPECT_EQ(rig.ui.value(VirtualPanel::dial(1, 1)), 0x0D10);
  EXPECT_EQ(rig.ui.text(VirtualPanel::address_label(1)), "Module 21");
  send(rig.card, 57, 21, 2);
  rig.panel.refresh();
  EXPECT_EQ(rig.ui.value(VirtualPanel::dial(1, 1)), 0x10);
  EXPECT_TRUE(rig.ui.enabled(VirtualPanel::dial(1, 2)));
}

TEST(VirtualPanel, TheSliderSetsTheAnalogValueTheModuleReports) {
  PanelRig rig;
  rig.ui.user_move_slider(VirtualPanel::analog_slider(2), 40000);
  run_events(rig.ui, rig.dispatch);
  EXPECT_EQ(rig.card.modules()[2].analog_value, 40000);
  EXPECT_EQ(rig.ui.text(VirtualPanel::analog_label(2)), "Entrée analogique : 40000");
  send(rig.card, CMD_READ_ANALOG, 33, 0);
  BusReport answer{};
  ASSERT_EQ(rig.card.read_report(answer, 0), HidReadStatus::ok);
  EXPECT_EQ(answer[7] + 256 * answer[8], 40000);
}

TEST(VirtualPanel, ClosingThePanelLeavesTheBenchRunning) {
  PanelRig rig;
  rig.ui.user_close(VIRTUAL_PANEL_WINDOW);
  run_events(rig.ui, rig.dispatch);
  EXPECT_FALSE(rig.ui.window_exists(VIRTUAL_PANEL_WINDOW));
  send(rig.card, CMD_SET_POSITION_1, 12, 9);
  rig.panel.refresh();  // nothing to show any more, and nothing breaks
  EXPECT_EQ(rig.card.modules()[0].position1, 9);
}

}  // namespace
}  // namespace kavri
