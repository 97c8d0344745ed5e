// The main window "Kavri" (window 0): link state, module count, module selector, hand tests of
// the gauges and outputs, reset, backlight, course capture, and the way to the parameter window.
#pragma once

#include "procedures/exploration.h"
#include "shell/app_state.h"
#include "ui/toolkit.h"

namespace kavri {

constexpr int MAIN_SET_MIN_1 = 105;
constexpr int MAIN_SET_MAX_1 = 106;
constexpr int MAIN_SET_MAX_2 = 107;
constexpr int MAIN_SET_MIN_2 = 108;
// "Set min." and "Set Max." of both gauges: enabled and disabled together.
inline constexpr int MAIN_COURSE_BUTTONS[] = {MAIN_SET_MIN_1, MAIN_SET_MAX_1, MAIN_SET_MAX_2,
                                              MAIN_SET_MIN_2};
constexpr int MAIN_RESET_BUTTON = 31;
constexpr int MAIN_OUTPUT_LIST_1 = 67;
constexpr int MAIN_OUTPUT_LIST_2 = 68;
constexpr int MAIN_REDUCED_START_BOX = 66;
constexpr int MAIN_VERSION_LABEL = 112;
// Tells, on orange, that the card is absent; empty and without a background while it is there.
constexpr int MAIN_CARD_LABEL = 139;

// Creates window 0 and all its controls, as the start-up first shows them (sliders at 0 and
// the lists empty until the later start-up steps fill them). When the window cannot be
// created no control is made and the result is false.
bool build_main_window(Toolkit& ui);

// Shows the card as absent ("Carte absente" on orange) or, when it is there, nothing.
void show_card_absent(Toolkit& ui, bool absent);

// What the exploration tells, turned into updates of the main and progress windows posted for
// the main loop: the module selector and the list of type bytes, the module count, the
// progress bar and caption, and entry 0 selected at the end.
ExplorationEvents exploration_window_updates(UiPosts& posts);

// Registers the handlers of the main window's own controls in state.dispatch.
void install_main_window_handlers(AppState& state);

}  // namespace kavri
