// The virtual panel of kavri-bench: a window that draws each module of the virtual card as a
// user would picture it: its address, two gauge dials whose needles stand at the last positions
// received, two output lamps, and a slider that sets the analog value the module reports; and
// the card's backlight level, with a button that unplugs the card and plugs it back in. Main
// thread only (it drives the toolkit).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/dispatch.h"
#include "ui/toolkit.h"
#include "virtual/virtual_card.h"

namespace kavri {

constexpr int VIRTUAL_PANEL_WINDOW = 100;
// The panel's controls are numbered from here up, clear of every driver window's numbers.
constexpr int VIRTUAL_PANEL_FIRST_CONTROL = 10000;

class VirtualPanel {
 public:
  // Opens the window and registers the sliders' and the window's handlers in `dispatch`.
  // `ui`, `card` and `dispatch` outlive the panel; the handlers must not be run after it is
  // gone.
  VirtualPanel(Toolkit& ui, VirtualCard& card, Dispatch& dispatch);
  VirtualPanel(const VirtualPanel&) = delete;
  VirtualPanel& operator=(const VirtualPanel&) = delete;

  // Shows what the card holds now; changes only the controls whose value changed, and reads
  // nothing from the card while it has not changed. Called by the main loop on every pass.
  void refresh();

  // Control numbers of module `index` (by its place on the bus), for tests.
  static int address_label(int index);
  static int dial(int index, int gauge);   // gauge 1 or 2
  static int lamp(int index, int output);  // output 1 or 2
  static int analog_slider(int index);
  static int analog_label(int index);
  static int backlight_label();
  static int backlight_bar();
  static int plug_button();

 private:
  // What the window shows of one module, to skip the controls that did not change.
  struct Shown {
    int address = -1;
    int dial1_max = -1;
    int dial1 = -1, dial2 = -1;
    int lamp1 = -1, lamp2 = -1;
    int analog = -1;
  };

  void build(const std::vector<VirtualModule>& modules);
  void show_module(int index, const VirtualModule& module);
  void show_backlight(std::uint8_t level);
  void show_plug(bool unplugged);
  void on_analog_moved(int index);

  Toolkit& ui_;
  VirtualCard& card_;
  std::vector<Shown> shown_;
  std::optional<std::uint64_t> card_changes_shown_;  // the card's change count last shown
  int backlight_shown_ = -1;
  int unplugged_shown_ = -1;
  bool open_ = true;
  // Small cells show shorter captions, so that no text runs past its dial or its cell.
  bool full_dial_captions_ = true;
  bool full_analog_caption_ = true;
};

}  // namespace kavri
