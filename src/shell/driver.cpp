#include "shell/driver.h"

#include <iostream>

#include "base/number_text.h"
#include "procedures/exploration.h"
#include "procedures/parameter_window.h"
#include "procedures/progress_window.h"
#include "shell/card_supervision.h"
#include "shell/driver_lock.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"

namespace kavri {

namespace {

// The saved settings onto the main window. The slider keeps the level within its range (a
// saved 20 shows as 15); only a saved 1 starts minimised.
void apply_settings(AppState& state, const Settings& settings) {
  Toolkit& ui = state.ui;
  ui.set_value(MainControl::backlight_slider, settings.backlight);
  state.backlight_level = ui.value(MainControl::backlight_slider);
  const bool reduced = settings.reduced_start == 1;
  ui.set_value(MainControl::reduced_start_box, reduced ? 1 : 0);
  if (reduced) ui.set_minimised(MAIN_WINDOW, true);
}

void fill_output_list(Toolkit& ui, int list) {
  ui.clear_items(list);
  for (const char* entry : {"0", "1", "-1"}) ui.add_item(list, entry);
  ui.set_selection(list, 0);
}

}  // namespace

std::unique_ptr<AppState> start_up(const DriverPorts& ports) {
  Toolkit& ui = ports.ui;
  if (ports.end_requested) ui.watch_end(ports.end_requested);
  std::unique_ptr<HidCard> card = ports.hid.open(MASTER_CARD);
  if (!card) {
    // A card that is there but will not open (its node's permissions, say) gets the same
    // message; the reason goes where the user who can mend it will look.
    for (const HidOpenFailure& failure : ports.hid.open_failures()) {
      std::cerr << "kavri: the Kavri card at " << failure.path
                << " cannot be opened: " << failure.reason << '\n';
    }
    ui.message_box("Erreur", "Je ne trouve pas la carte Kavri");
    return nullptr;
  }
  auto state = std::make_unique<AppState>(ports.env, ui, ports.hid, std::move(card),
                                          ports.ipc_transport, ports.directory);
  build_main_window(ui);
  install_main_window_handlers(*state);
  install_parameter_window(state->windows);
  const SettingsRead settings = read_settings(state->settings_path);
  apply_settings(*state, settings.settings);
  state->link = settings.settings.link;
  state->link_key_file = settings.settings.link_key_file;
  if (settings.unreadable()) {
    // Told once, on the main loop's first pass: a box here would hold up the start-up.
    state->settings_file_kept = true;
    state->posts.post([path = state->settings_path, problem = settings.problem](Toolkit& box_ui) {
      box_ui.message_box("Erreur", "Je ne peux pas lire le fichier " + path +
                                       std::string(file_problem_text_fr(problem)) +
                                       " : il est laissé tel quel et les réglages de cette session "
                                       "n'y seront pas enregistrés.");
    });
  }
  state->backlight_pending = true;
  ui.set_text(MainControl::version_label, PROGRAM_VERSION);

  open_progress_window(ui);
  ui.set_value(ProgressControl::bar, 0);
  ui.show_now();  // the windows stay drawn through the pause, before the loop runs
  ports.env.sleep_for(Millis(1000));
  state->bus.send_explore();

  ui.set_value(MainControl::position_slider_1, 127);
  ui.set_value(MainControl::position_slider_2, 127);
  ui.set_text(MainControl::value_field_1, "127");
  ui.add_item(MainControl::module_selector, format_decimal(COMMON_ADDRESS));
  state->modules.module_count = 0;
  state->exploration_done = false;
  state->transfer.set_first_pass();
  start_exploration(*state);

  ui.set_enabled(MainControl::parameters_button, false);
  for (int button : MAIN_COURSE_BUTTONS) ui.set_enabled(button, false);
  fill_output_list(ui, MainControl::output_list_1);
  fill_output_list(ui, MainControl::output_list_2);
  return state;
}

void shut_down(AppState& state) {
  // No join here waits on the simulator, whatever it does: a stop cuts every wait of the link
  // short, the wait for another thread's batch included.
  state.transfer_thread.stop_and_join();
  const bool saved =
      state.settings_file_kept ||
      write_settings(state.settings_path,
                     Settings{state.ui.value(MainControl::backlight_slider),
                              state.ui.value(MainControl::reduced_start_box) != 0 ? 1 : 0,
                              state.link, state.link_key_file});
  if (!saved) {
    state.ui.message_box(
        "Erreur", "Je ne peux pas enregistrer les réglages dans le fichier " + state.settings_path);
  }
  // The exploration may still be reading the card (a close during the exploration).
  state.exploration_thread.stop_and_join();
  state.card.close();
  // Stopped first so that it cannot reopen the link behind the close.
  state.link_monitor_thread.stop_and_join();
  state.ipc.ipc_close();
}

std::unique_ptr<DriverLock> take_card_lock(Toolkit& ui, const std::string& name, DriverEnd& end) {
  LockAttempt attempt = take_driver_lock(name);
  if (attempt.lock) return std::move(attempt.lock);
  if (attempt.failure.empty()) {
    end = DriverEnd::already_running;
    ui.message_box("Erreur", "Le pilote Kavri tourne déjà pour cette carte");
  } else {
    end = DriverEnd::no_lock;
    std::cerr << "kavri: cannot take the driver's lock: " << attempt.failure << '\n';
    ui.message_box("Erreur",
                   "Je ne peux pas m'assurer qu'aucun autre pilote Kavri ne tourne pour cette "
                   "carte : " +
                       attempt.failure);
  }
  return nullptr;
}

int exit_code_of(DriverEnd end) {
  return end == DriverEnd::already_running || end == DriverEnd::no_lock ? 1 : 0;
}

DriverEnd run_driver(const DriverPorts& ports) {
  std::unique_ptr<DriverLock> lock;
  if (!ports.card_lock.empty()) {
    DriverEnd refused = DriverEnd::already_running;
    lock = take_card_lock(ports.ui, ports.card_lock, refused);
    if (!lock) return refused;
  }
  std::unique_ptr<AppState> state = start_up(ports);
  if (!state) return DriverEnd::no_card;
  if (ports.on_started) ports.on_started(*state);
  if (run_main_loop(*state, ports.close_at_ms, ports.end_requested) == LoopEnd::fatal) {
    return DriverEnd::fatal;
  }
  shut_down(*state);
  return DriverEnd::normal;
}

}  // namespace kavri
