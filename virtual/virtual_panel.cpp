#include "virtual/virtual_panel.h"

#include <algorithm>
#include <optional>
#include <string>

#include "bus_model/gauge_types.h"
#include "device/bus_messages.h"

namespace kavri {

namespace {

// The window fits a 1280 x 1024 screen with room for its title bar and the desktop's bars, for
// any bench up to the bus's 51 modules: larger benches get more columns and smaller dials.
constexpr int kScreenWidth = 1280;
constexpr int kMaxWidth = 1260;
constexpr int kMaxHeight = 960;
constexpr int kHeaderHeight = 40;  // the backlight and the plug button, above the modules
constexpr int kHeaderWidth = 520;
constexpr int kLargestDial = 130;  // the demo bench's dials
constexpr int kSmallestDial = 40;
// A dial face this tall holds "Jauge 1 : 65535" inside its bezel; a smaller one shows the
// number alone.
constexpr int kFullCaptionDial = 120;
constexpr int kControlsPerModule = 10;
constexpr int kFirstModuleControl = VIRTUAL_PANEL_FIRST_CONTROL + 10;

enum ModuleControl { address_text, dial_1, dial_2, lamp_1, lamp_2, analog_text, analog_input };

int module_control(int index, ModuleControl which) {
  return kFirstModuleControl + index * kControlsPerModule + which;
}

// The needle range of gauge 1 for its type: the gauge types that drive one needle with a
// 16-bit position (high byte in position 2) and the byte-wide rest.
int dial1_max(std::int64_t gauge1_type) {
  const auto type = static_cast<int>(gauge1_type);
  if (is_360_degree_type(type)) return 3599;  // tenths of a degree around the dial
  if (is_16_bit_type(type)) return 65535;
  return 255;
}

// Where a module's controls go within its cell, from the cell's top-left corner.
struct Cell {
  int width = 0, height = 0;
  bool compact = false;
  FontId title_font = FontId::large;
  Rect title, dials[2], lamps[2], analog_text, analog_input;
};

// The demo bench's look: the dials one above the other in a column wide enough for the
// captions at full length.
Cell tall_cell(int dial) {
  Cell cell;
  cell.width = 200;
  cell.title = {10, 0, 180, 20};
  for (int g = 0; g < 2; ++g) {
    cell.dials[g] = {100 - (dial + 10) / 2, 25 + g * (dial + 5), dial + 10, dial};
  }
  const int lamps_y = 30 + 2 * dial;
  cell.lamps[0] = {15, lamps_y, 80, 20};
  cell.lamps[1] = {105, lamps_y, 80, 20};
  cell.analog_text = {10, lamps_y + 22, 180, 18};
  cell.analog_input = {10, lamps_y + 41, 180, 18};
  cell.height = lamps_y + 62;
  return cell;
}

// For large benches: the dials side by side, each lamp under its dial, shorter captions. The
// width leaves room for a lamp's light and "Sortie 1" in each half.
Cell compact_cell(int dial) {
  Cell cell;
  cell.compact = true;
  cell.width = std::max(140, 2 * dial + 12);
  cell.title_font = FontId::small;
  cell.title = {4, 2, cell.width - 8, 20};
  const int dials_x = (cell.width - 2 * dial - 4) / 2;
  for (int g = 0; g < 2; ++g) cell.dials[g] = {dials_x + g * (dial + 4), 24, dial, dial};
  const int lamps_y = 26 + dial;
  const int half = cell.width / 2;
  for (int g = 0; g < 2; ++g) cell.lamps[g] = {g * half + 2, lamps_y, half - 4, 16};
  cell.analog_text = {4, lamps_y + 18, cell.width - 8, 16};
  cell.analog_input = {4, lamps_y + 35, cell.width - 8, 16};
  cell.height = lamps_y + 57;
  return cell;
}

Cell make_cell(bool compact, int dial) { return compact ? compact_cell(dial) : tall_cell(dial); }

struct Layout {
  Cell cell;
  int dial = 0;
  int columns = 1, rows = 1;
};

// The largest dials that let `count` modules fit the screen; among equals, the fewest rows (a
// bench reads as a row of modules), then the fewest columns (rows as full as the last), then
// the tall cells.
Layout choose_layout(int count) {
  count = std::max(count, 1);
  std::optional<Layout> best;
  for (int columns = 1; columns <= count; ++columns) {
    const int rows = (count + columns - 1) / columns;
    for (bool compact : {false, true}) {
      for (int dial = kLargestDial; dial >= kSmallestDial; --dial) {
        const Cell cell = make_cell(compact, dial);
        if (columns * cell.width > kMaxWidth || kHeaderHeight + rows * cell.height > kMaxHeight) {
          continue;
        }
        if (!best || dial > best->dial || (dial == best->dial && rows < best->rows)) {
          best = Layout{cell, dial, columns, rows};
        }
        break;
      }
    }
  }
  if (best) return *best;
  // More modules than the bus holds (a hand-written modules file): the smallest cells, as many
  // to a row as the screen takes, and the window grows downwards.
  const Cell cell = compact_cell(kSmallestDial);
  const int columns = std::max(1, kMaxWidth / cell.width);
  return {cell, kSmallestDial, columns, (count + columns - 1) / columns};
}

Rect offset(Rect rect, int x, int y) { return {rect.x + x, rect.y + y, rect.w, rect.h}; }

ControlSpec control(int number, ControlKind kind, Rect rect, std::string text = "") {
  ControlSpec spec;
  spec.number = number;
  spec.kind = kind;
  spec.rect = rect;
  spec.text = std::move(text);
  return spec;
}

std::string dial_caption(bool full, int gauge, int value) {
  return full ? "Jauge " + std::to_string(gauge) + " : " + std::to_string(value)
              : std::to_string(value);
}

std::string analog_caption(bool full, int value) {
  return (full ? "Entrée analogique : " : "Entrée : ") + std::to_string(value);
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
int VirtualPanel::plug_button() { return VIRTUAL_PANEL_FIRST_CONTROL + 2; }

VirtualPanel::VirtualPanel(Toolkit& ui, VirtualCard& card, Dispatch& dispatch)
    : ui_(ui), card_(card) {
  const auto modules = card_.modules();
  build(modules);
  for (int i = 0; i < static_cast<int>(modules.size()); ++i) {
    dispatch.control_handlers[analog_slider(i)] = [this, i] { on_analog_moved(i); };
  }
  dispatch.control_handlers[plug_button()] = [this] {
    card_.set_unplugged(!card_.unplugged());
    refresh();
  };
  // Closing the panel only hides the bench's insides; the driver goes on.
  dispatch.close_handlers[VIRTUAL_PANEL_WINDOW] = [this] {
    ui_.destroy_window(VIRTUAL_PANEL_WINDOW);
    open_ = false;
  };
  refresh();
}

void VirtualPanel::build(const std::vector<VirtualModule>& modules) {
  const int count = static_cast<int>(modules.size());
  const Layout layout = choose_layout(count);
  const Cell& cell = layout.cell;
  full_dial_captions_ = layout.dial >= kFullCaptionDial;
  full_analog_caption_ = !cell.compact;
  const int grid_width = layout.columns * cell.width;
  const int width = std::max(kHeaderWidth, grid_width);
  const int height = kHeaderHeight + layout.rows * cell.height;
  WindowSpec window;
  window.number = VIRTUAL_PANEL_WINDOW;
  window.title = "Kavri - banc virtuel";
  // Below the driver's windows when there is room, higher up when the bench is tall.
  window.geometry = {std::clamp((kScreenWidth - width) / 2, 0, 20),
                     std::clamp(kMaxHeight - height, 0, 540), width, height};
  window.close_box = true;
  window.minimise_box = true;
  ui_.create_window(window);

  ui_.add_control(VIRTUAL_PANEL_WINDOW,
                  control(backlight_label(), ControlKind::label, {10, 10, 140, 20}));
  ControlSpec bar = control(backlight_bar(), ControlKind::progress_bar, {150, 10, 200, 20});
  bar.range_max = 255;
  ui_.add_control(VIRTUAL_PANEL_WINDOW, bar);
  ui_.add_control(VIRTUAL_PANEL_WINDOW,
                  control(plug_button(), ControlKind::button, {360, 8, 150, 24}));

  for (int i = 0; i < count; ++i) {
    const int x = (width - grid_width) / 2 + (i % layout.columns) * cell.width;
    const int y = kHeaderHeight + (i / layout.columns) * cell.height;
    ControlSpec title = control(address_label(i), ControlKind::label, offset(cell.title, x, y));
    title.align = Align::center;
    title.font = cell.title_font;
    ui_.add_control(VIRTUAL_PANEL_WINDOW, title);
    for (int gauge = 1; gauge <= 2; ++gauge) {
      const std::size_t g = static_cast<std::size_t>(gauge - 1);
      ControlSpec face = control(dial(i, gauge), ControlKind::dial, offset(cell.dials[g], x, y));
      face.range_max = 255;
      ui_.add_control(VIRTUAL_PANEL_WINDOW, face);
      ui_.add_control(VIRTUAL_PANEL_WINDOW,
                      control(lamp(i, gauge), ControlKind::lamp, offset(cell.lamps[g], x, y),
                              "Sortie " + std::to_string(gauge)));
    }
    ui_.add_control(VIRTUAL_PANEL_WINDOW,
                    control(analog_label(i), ControlKind::label, offset(cell.analog_text, x, y)));
    ControlSpec slider =
        control(analog_slider(i), ControlKind::slider, offset(cell.analog_input, x, y));
    slider.range_max = 65535;
    ui_.add_control(VIRTUAL_PANEL_WINDOW, slider);
  }
  shown_.assign(modules.size(), Shown{});
}

void VirtualPanel::refresh() {
  if (!open_) return;
  const std::uint64_t changes = card_.change_count();
  if (changes == card_changes_shown_) return;
  card_changes_shown_ = changes;
  const auto modules = card_.modules();
  const int count = static_cast<int>(std::min(modules.size(), shown_.size()));
  for (int i = 0; i < count; ++i) show_module(i, modules[static_cast<std::size_t>(i)]);
  show_backlight(card_.backlight());
  show_plug(card_.unplugged());
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
    ui_.set_text(dial(index, 1), dial_caption(full_dial_captions_, 1, needle1));
  }
  if (module.position2 != shown.dial2) {
    shown.dial2 = module.position2;
    ui_.set_value(dial(index, 2), module.position2);
    ui_.set_text(dial(index, 2), dial_caption(full_dial_captions_, 2, module.position2));
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
    ui_.set_text(analog_label(index), analog_caption(full_analog_caption_, module.analog_value));
  }
}

void VirtualPanel::show_backlight(std::uint8_t level) {
  if (level == backlight_shown_) return;
  backlight_shown_ = level;
  ui_.set_value(backlight_bar(), level);
  ui_.set_text(backlight_label(), "Rétroéclairage : " + std::to_string(level));
}

void VirtualPanel::show_plug(bool unplugged) {
  if (static_cast<int>(unplugged) == unplugged_shown_) return;
  unplugged_shown_ = unplugged;
  ui_.set_text(plug_button(), unplugged ? "Rebrancher la carte" : "Débrancher la carte");
}

void VirtualPanel::on_analog_moved(int index) {
  const int value = std::clamp(ui_.value(analog_slider(index)), 0, 65535);
  card_.set_analog_value(index, static_cast<std::uint16_t>(value));
  refresh();
}

}  // namespace kavri
