#include "virtual/virtual_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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
  explicit PanelRig(std::vector<VirtualModule> modules = demo_bench()) : card(std::move(modules)) {}
  HeadlessToolkit ui;
  VirtualCard card;
  Dispatch dispatch;
  VirtualPanel panel{ui, card, dispatch};
};

// Modules at addresses 1 to `count`, gauges of the byte-wide kind.
std::vector<VirtualModule> bench_of(int count) {
  std::vector<VirtualModule> modules(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    modules[static_cast<std::size_t>(i)].address = static_cast<std::uint8_t>(i + 1);
  return modules;
}

bool overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

std::vector<int> module_controls(int index) {
  return {VirtualPanel::address_label(index), VirtualPanel::dial(index, 1),
          VirtualPanel::dial(index, 2),       VirtualPanel::lamp(index, 1),
          VirtualPanel::lamp(index, 2),       VirtualPanel::analog_label(index),
          VirtualPanel::analog_slider(index)};
}

TEST(VirtualPanel, ShowsEveryModuleOfTheBenchInItsWindow) {
  PanelRig rig;
  const auto* window = rig.ui.window(VIRTUAL_PANEL_WINDOW);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->spec.title, "Kavri - banc virtuel");
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

// Up to the bus's 51 modules, the window fits a 1280 x 1024 screen with its title bar, every
// control lies inside it, and none covers another; the demo bench keeps its big dials.
TEST(VirtualPanel, EveryBenchFitsTheScreenWithoutOverlaps) {
  for (int count = 1; count <= 51; ++count) {
    SCOPED_TRACE(count);
    PanelRig rig(bench_of(count));
    const Rect window = rig.ui.window(VIRTUAL_PANEL_WINDOW)->spec.geometry;
    EXPECT_LE(window.w, 1260);
    EXPECT_LE(window.h, 960);
    EXPECT_GE(window.x, 0);
    EXPECT_GE(window.y, 0);
    EXPECT_LE(window.x + window.w, 1280);
    EXPECT_LE(window.y + window.h, 990);

    std::vector<int> controls = {VirtualPanel::backlight_label(), VirtualPanel::backlight_bar(),
                                 VirtualPanel::plug_button()};
    for (int i = 0; i < count; ++i) {
      for (int k : module_controls(i)) controls.push_back(k);
    }
    for (std::size_t a = 0; a < controls.size(); ++a) {
      ASSERT_TRUE(rig.ui.control_exists(controls[a])) << controls[a];
      const Rect r = rig.ui.control(controls[a])->spec.rect;
      EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= window.w && r.y + r.h <= window.h)
          << controls[a];
      for (std::size_t b = 0; b < a; ++b) {
        EXPECT_FALSE(overlap(r, rig.ui.control(controls[b])->spec.rect))
            << controls[a] << " over " << controls[b];
      }
    }
    const Rect dial = rig.ui.control(VirtualPanel::dial(count - 1, 2))->spec.rect;
    EXPECT_GE(std::min(dial.w, dial.h), count <= 12 ? 128 : 60);
    EXPECT_EQ(rig.ui.text(VirtualPanel::address_label(count - 1)),
              "Module " + std::to_string(count));
  }
  PanelRig demo;
  const Rect window = demo.ui.window(VIRTUAL_PANEL_WINDOW)->spec.geometry;
  EXPECT_EQ(window.w, 800);
  EXPECT_EQ(window.h, 392);
}

// Small dials and cells show the numbers alone, so that no caption runs past its dial or cell;
// the last module's slider still reaches its own module.
TEST(VirtualPanel, AFullBusShowsShortCaptionsAndEverySliderWorks) {
  PanelRig rig(bench_of(51));
  send(rig.card, CMD_SET_POSITION_1, 51, 200);
  rig.panel.refresh();
  EXPECT_EQ(rig.ui.text(VirtualPanel::dial(50, 1)), "200");
  EXPECT_EQ(rig.ui.text(VirtualPanel::dial(50, 2)), "0");
  rig.ui.user_move_slider(VirtualPanel::analog_slider(50), 1234);
  run_events(rig.ui, rig.dispatch);
  EXPECT_EQ(rig.card.modules()[50].analog_value, 1234);
  EXPECT_EQ(rig.card.modules()[49].analog_value, 0);
  EXPECT_EQ(rig.ui.text(VirtualPanel::analog_label(50)), "Entrée : 1234");
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
  ASSERT_EQ(rig.card.read_report(answer, 0), HidStatus::ok);
  EXPECT_EQ(answer[7] + 256 * answer[8], 40000);
}

TEST(VirtualPanel, TheButtonUnplugsTheCardAndPlugsItBackIn) {
  PanelRig rig;
  EXPECT_EQ(rig.ui.text(VirtualPanel::plug_button()), "Débrancher la carte");
  rig.ui.user_press(VirtualPanel::plug_button());
  run_events(rig.ui, rig.dispatch);
  EXPECT_TRUE(rig.card.unplugged());
  EXPECT_EQ(rig.ui.text(VirtualPanel::plug_button()), "Rebrancher la carte");
  rig.ui.user_press(VirtualPanel::plug_button());
  run_events(rig.ui, rig.dispatch);
  EXPECT_FALSE(rig.card.unplugged());
  EXPECT_EQ(rig.ui.text(VirtualPanel::plug_button()), "Débrancher la carte");
  EXPECT_EQ(rig.card.unplug_count(), 1);
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
