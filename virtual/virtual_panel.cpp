#include "virtual/virtual_panel.h"

#include <algorithm>
#include <string>

namespace kavri {

namespace {

// Four modules to a row, each in a column of kCellWidth; the backlight above them.
constexpr int kColumns = 4;
constexpr int kCellWidth = 200;
constexpr int kCellHeight = 352;
constexpr int kHeaderHeight = 40;
constexpr int kControlsPerModule = 10;
constexpr int kFirstModuleControl = VIRTUAL_PANEL_FIRST_CONTROL + 10;

enum ModuleControl { address_text, dial_1, dial_2, lamp_1, lamp_2, analog_text, analog_input };

int module_control(int index, ModuleControl which) {
  return kFirstModuleControl + index * kControlsPerModule + which;
}

// The needle range of gauge 1 for its type: the gauge types that drive one needle with a
// 16-bit position (high byte in position 2) and the byte-wide rest.
int dial1_max(std::int64_t gauge1_type) {
  switch (gauge1_type) {
    case 16:
    case 17:
    case 19:
    case 24:
    case 35:
      return 3599;  // tenths of a degree around the dial
    case 31:
    case 32:
      return 65535;
    default:
      return 255;
  }
}

ControlSpec control(int number, ControlKind kind, Rect rect, std::string text = "") {
  ControlSpec spec;
  spec.number = number;
  spec.kind = kind;
  spec.rect = rect;
  spec.text = std::move(text);
  return spec;
}

std::string dial_caption(int gauge, int value) {
  return "Jauge " + std::to_string(gauge) + " : " + std::to_string(value);
}

}  // namespace

int VirtualPanel::address_label(int index) { return module_control(index, address_text); }
int VirtualPanel::dial(int index, int gauge) {
  return module_control(index, gauge == 1 ? dial_1 : dial_2);
}
int VirtualPanel::lamp(int index, int output) {
  return module_control(index, output == 1 ? lamp_1 : lamp_2);
}
int VirtualPanel::analog_slider(int index) { return module_control(index, analog_input); }
int VirtualPanel::analog_label(int index) { return module_control(index, analog_text); }
int VirtualPanel::backlight_label() { return VIRTUAL_PANEL_FIRST_CONTROL; }
int VirtualPanel::backlight_bar() { return VIRTUAL_PANEL_FIRST_CONTROL + 1; }

VirtualPanel::VirtualPanel(Toolkit& ui, VirtualCard& card, Dispatch& dispatch)
    : ui_(ui), card_(card) {
  const auto modules = card_.modules();
  build(modules);
  for (int i = 0; i < static_cast<int>(modules.size()); ++i) {
    dispatch.control_handlers[analog_slider(i)] = [this, i] { on_analog_moved(i); };
  }
  // Closing the panel only hides the bench's insides; the driver goes on.
  dispatch.close_handlers[VIRTUAL_PANEL_WINDOW] = [this] {
    ui_.destroy_window(VIRTUAL_PANEL_WINDOW);
    open_ = false;
  };
  refresh();
}

void VirtualPanel::build(const std::vector<VirtualModule>& modules) {
  const int count = static_cast<int>(modules.size());
  const int columns = std::clamp(count, 1, kColumns);
  const int rows = std::max(1, (count + kColumns - 1) / kColumns);
  WindowSpec window;
  window.number = VIRTUAL_PANEL_WINDOW;
  window.title = "Kavri - banc virtuel";
  window.geometry = {20, 540, columns * kCellWidth, kHeaderHeight + rows * kCellHeight};
  window.close_box = true;
  window.minimise_box = true;
  ui_.create_window(window);

  ui_.add_control(VIRTUAL_PANEL_WINDOW,
                  control(backlight_label(), ControlKind::label, {10, 10, 140, 20}));
  ControlSpec bar = control(backlight_bar(), ControlKind::progress_bar, {150, 10, 240, 20});
  bar.range_max = 255;
  ui_.add_control(VIRTUAL_PANEL_WINDOW, bar);

  for (int i = 0; i < count; ++i) {
    const int x = (i % kColumns) * kCellWidth;
    const int y = kHeaderHeight + (i / kColumns) * kCellHeight;
    ControlSpec title = control(address_label(i), ControlKind::label, {x + 10, y, 180, 20});
    title.align = Align::center;
    title.font = FontId::large;
    ui_.add_control(VIRTUAL_PANEL_WINDOW, title);
    for (int gauge = 1; gauge <= 2; ++gauge) {
      ControlSpec face = control(dial(i, gauge), ControlKind::dial,
                                 {x + 30, y + 25 + (gauge - 1) * 135, 140, 130});
      face.range_max = 255;
      ui_.add_control(VIRTUAL_PANEL_WINDOW, face);
    }
    ui_.add_control(VIRTUAL_PANEL_WINDOW,
                    control(lamp(i, 1), ControlKind::lamp, {x + 15, y + 290, 80, 20}, "Sortie 1"));
    ui_.add_control(VIRTUAL_PANEL_WINDOW,
                    control(lamp(i, 2), ControlKind::lamp, {x + 105, y + 290, 80, 20}, "Sortie 2"));
    ui_.add_control(VIRTUAL_PANEL_WINDOW,
                    control(analog_label(i), ControlKind::label, {x + 10, y + 312, 180, 18}));
    ControlSpec slider = control(analog_slider(i), ControlKind::slider, {x + 10, y + 331, 180, 18});
    slider.range_max = 65535;
    ui_.add_control(VIRTUAL_PANEL_WINDOW, slider);
  }
  shown_.assign(modules.size(), Shown{});
}

void VirtualPanel::refresh() {
  if (!open_) return;
  const auto modules = card_.modules();
  const int count = static_cast<int>(std::min(modules.size(), shown_.size()));
  for (int i = 0; i < count; ++i) show_module(i, modules[static_cast<std::size_t>(i)]);
  show_backlight(card_.backlight());
}

void VirtualPanel::show_module(int index, const VirtualModule& module) {
  Shown& shown = shown_[static_cast<std::size_t>(index)];
  if (module.address != shown.address) {
    shown.address = module.address;
    ui_.set_text(address_label(index), "Module " + std::to_string(module.address));
  }
  const int max1 = dial1_max(module.param(Param::gauge1_type));
  const bool split = max1 != 255;
  if (max1 != shown.dial1_max) {
    shown.dial1_max = max1;
    ui_.set_range(dial(index, 1), 0, max1);
    // With a 16-bit position, position 2 is its high byte: gauge 2 has no needle of its own.
    ui_.set_enabled(dial(index, 2), !split);
    shown.dial1 = -1;
  }
  const int needle1 = split ? module.position2 * 256 + module.position1 : module.position1;
  if (needle1 != shown.dial1) {
    shown.dial1 = needle1;
    ui_.set_value(dial(index, 1), needle1);
    ui_.set_text(dial(index, 1), dial_caption(1, needle1));
  }
  if (module.position2 != shown.dial2) {
    shown.dial2 = module.position2;
    ui_.set_value(dial(index, 2), module.position2);
    ui_.set_text(dial(index, 2), dial_caption(2, module.position2));
  }
  if (module.output1 != shown.lamp1) {
    shown.lamp1 = module.output1;
    ui_.set_value(lamp(index, 1), module.output1);
  }
  if (module.output2 != shown.lamp2) {
    shown.lamp2 = module.output2;
    ui_.set_value(lamp(index, 2), module.output2);
  }
  if (module.analog_value != shown.analog) {
    shown.analog = module.analog_value;
    ui_.set_value(analog_slider(index), module.analog_value);
    ui_.set_text(analog_label(index), "Entrée analogique : " + std::to_string(module.analog_value));
  }
}

void VirtualPanel::show_backlight(std::uint8_t level) {
  if (level == backlight_shown_) return;
  backlight_shown_ = level;
  ui_.set_value(backlight_bar(), level);
  ui_.set_text(backlight_label(), "Rétroéclairage : " + std::to_string(level));
}

void VirtualPanel::on_analog_moved(int index) {
  const int value = std::clamp(ui_.value(analog_slider(index)), 0, 65535);
  card_.set_analog_value(index, static_cast<std::uint16_t>(value));
  refresh();
}

}  // namespace kavri
