// A parameter editor on a bench for tests: a toolkit with the main window's controls that the
// editor reads, a virtual card behind the bus sender, virtual time, a temporary directory for
// files, and (headless) a main loop that runs one pass at a time.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "procedures/parameter_window.h"
#include "shell/main_window.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "ui/headless_toolkit.h"
#include "virtual/virtual_card.h"

namespace kavri::testing {

class EditorRig {
 public:
  // The modules found on the bus, by address, in table order; the selector shows entry 0.
  EditorRig(Toolkit& toolkit, std::vector<std::uint8_t> addresses)
      : ui(toolkit), card(virtual_modules(addresses)) {
    ui.create_window({MAIN_WINDOW, "Kavri", {355, 124, 557, 378}, true, true, true, {}});
    ControlSpec slider = control(MainControl::position_slider_1, ControlKind::slider);
    slider.range_max = 255;
    ui.add_control(MAIN_WINDOW, slider);
    ui.add_control(MAIN_WINDOW,
                   control(MainControl::value_field_1, ControlKind::text_field, "127"));
    ui.add_control(MAIN_WINDOW, control(MainControl::module_selector, ControlKind::drop_down));
    ui.add_control(MAIN_WINDOW, control(MainControl::parameters_button, ControlKind::button));
    ui.set_value(MainControl::position_slider_1, 127);
    ui.add_item(MainControl::module_selector, "50");
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      modules.records[i].address = addresses[i];
      ui.add_item(MainControl::module_selector, std::to_string(addresses[i]));
    }
    modules.module_count = static_cast<std::uint8_t>(addresses.size());
    ui.set_selection(MainControl::module_selector, 0);
    ctx.main_window = {
        MainControl::parameters_button,
        {MainControl::position_slider_1, MainControl::value_field_1},
        [this] { return selected_module(ui, MainControl::module_selector, modules); }};
    ctx.calibration_file = (dir / "Calibrage.ini").string();
    ctx.hand_drive_gauge = [this](int gauge) { hand_driven_gauge = gauge; };
    install_parameter_window(ctx);
  }

  ModuleRecord& record(int index) { return modules.records[static_cast<std::size_t>(index)]; }

  // For a picture of the parameter window: minimises the main window, gives module 0 values
  // that fill most fields, and opens its parameter window as "Paramètres" does.
  void open_filled_editor() {
    ui.set_minimised(MAIN_WINDOW, true);
    ModuleRecord& r = record(0);
    r.gauges[0].type = 18;
    r.gauges[1].type = 35;
    r.gauges[0].offset = 0x0BC0;
    r.gauges[0].offset_length = 2;
    r.gauges[0].course_max = 255;
    r.gauges[0].sim_min = -100;
    r.gauges[0].sim_max = 16383;
    r.outputs[0].type = 2;
    r.analog_type = 2;
    r.analog_param = 16383;
    r.gauges[0].inverted = 255;
    ui.set_selection(MainControl::module_selector, 1);
    dispatch.control_handlers.at(MainControl::parameters_button)();
  }

  Toolkit& ui;
  const ScratchDirectory scratch;
  const std::filesystem::path dir = scratch.path();
  FakeEnv env;
  VirtualCard card;
  BusSender bus{card};
  ModuleTable modules;
  CalibrationTables calibration;
  Dispatch dispatch;
  WindowContext ctx{env, ui, bus, modules, calibration, dispatch};
  int hand_driven_gauge = -1;  // as the transfer was last told

 private:
  static std::vector<VirtualModule> virtual_modules(const std::vector<std::uint8_t>& addresses) {
    std::vector<VirtualModule> result;
    for (std::uint8_t address : addresses) result.push_back({.address = address});
    return result;
  }
  static ControlSpec control(int number, ControlKind kind, std::string text = "") {
    ControlSpec spec;
    spec.number = number;
    spec.kind = kind;
    spec.rect = {0, 0, 80, 20};
    spec.text = std::move(text);
    return spec;
  }
};

struct HeadlessUi {
  HeadlessToolkit ui;
};

// The rig on the headless toolkit, acting as the user and running the main loop's passes.
class EditorBench : private HeadlessUi, public EditorRig {
 public:
  explicit EditorBench(std::vector<std::uint8_t> addresses)
      : EditorRig(HeadlessUi::ui, std::move(addresses)) {}

  HeadlessToolkit& ui = HeadlessUi::ui;

  // Selects module selector entry `entry` (0 is "50") and presses "Paramètres".
  void open_editor(int entry) {
    ui.set_selection(MainControl::module_selector, entry);
    ui.user_press(MainControl::parameters_button);
    pass();
  }

  // One pass of the main loop: at most one event, the pass hooks, then its 3 ms sleep.
  void pass() {
    if (auto event = ui.poll_event(); event && event->kind == Event::Kind::control) {
      auto handler = dispatch.control_handlers.find(event->control);
      if (handler != dispatch.control_handlers.end()) handler->second();
    }
    for (auto& hook : dispatch.pass_hooks) hook();
    env.sleep_for(Millis(3));
  }

  // Passes until `done` holds; false when it still does not after `max_passes`.
  bool run_until(const std::function<bool()>& done, int max_passes = 2000) {
    for (int i = 0; i < max_passes; ++i) {
      if (done()) return true;
      pass();
    }
    return done();
  }

  // The user's press, move or choice, then the pass that handles it.
  void press(int control) {
    ui.user_press(control);
    pass();
  }
  void move(int slider, int value) {
    ui.user_move_slider(slider, value);
    pass();
  }
  void choose(int list, int entry) {
    ui.user_select(list, entry);
    pass();
  }
};

}  // namespace kavri::testing
