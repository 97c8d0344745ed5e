// The main window "Kavri": link state, module count, module selector, hand tests of the gauges
// and outputs, reset, backlight, course capture, and the way to the parameter window.
#pragma once

#include "procedures/exploration.h"
#include "shell/app_state.h"
#include "ui/toolkit.h"

namespace kavri {

constexpr int MAIN_WINDOW = 0;

// The main window's controls, by the number the toolkit knows each by. A control number names
// one control across every window, and the settings, traces and pictures know these: the
// values are fixed.
struct MainControl {
  enum : int {
    position_slider_1 = 0,
    value_field_1 = 1,
    module_address_caption = 2,
    position_caption = 3,
    blank_label = 4,  // shows nothing; kept for the window's look
    value_caption = 5,
    module_selector = 6,
    position_slider_2 = 7,
    value_field_2 = 8,
    parameters_button = 12,
    backlight_caption = 27,
    backlight_slider = 28,
    type_bytes_list = 30,
    reset_button = 31,
    blank_field = 42,  // takes no part in anything; kept for the window's look
    status_label = 49,
    link_caption = 50,
    output_caption = 51,
    output_1_caption = 63,
    output_2_caption = 64,
    reduced_start_caption = 65,
    reduced_start_box = 66,
    output_list_1 = 67,
    output_list_2 = 68,
    set_min_1 = 105,
    set_max_1 = 106,
    set_max_2 = 107,
    set_min_2 = 108,
    version_caption = 111,
    version_label = 112,
    module_count_label = 138,
    // Tells, on orange, that the card is absent; empty and without a background while it is
    // there.
    card_label = 139,
  };
};

// "Set min." and "Set Max." of both gauges: enabled and disabled together.
inline constexpr int MAIN_COURSE_BUTTONS[] = {MainControl::set_min_1, MainControl::set_max_1,
                                              MainControl::set_max_2, MainControl::set_min_2};

// Creates the main window and all its controls, as the start-up first shows them (sliders at 0
// and the lists empty until the later start-up steps fill them). When the window cannot be
// created no control is made and the result is false.
bool build_main_window(Toolkit& ui);

// Shows the card as absent ("Carte absente" on orange) or, when it is there, nothing.
void show_card_absent(Toolkit& ui, bool absent);

// What the exploration tells, turned into updates of the main and progress windows posted for
// the main loop: the module selector and the list of type bytes, the module count, the
// progress bar and caption, and entry 0 selected at the end.
ExplorationEvents exploration_window_updates(UiPosts& posts);

// Registers the handlers of the main window's own controls in state.dispatch, and hands the
// parameter and calibration windows what they use of this window (state.windows.main_window).
void install_main_window_handlers(AppState& state);

}  // namespace kavri
