#include "shell/card_supervision.h"

#include "base/number_text.h"
#include "procedures/exploration.h"
#include "procedures/parameter_window.h"
#include "procedures/progress_window.h"
#include "shell/main_window.h"
#include "shell/worker_start.h"

namespace kavri {

namespace {

// As at start-up, the card is given this long between its opening and CMD_EXPLORE.
constexpr Millis PAUSE_BEFORE_EXPLORE{1000};

void on_card_lost(AppState& state) {
  CardSession& session = state.card_session;
  session.absent = true;
  session.bus_explored = false;
  session.explore_at.reset();
  // Both end at their next step: every write and read of the lost card fails at once.
  state.transfer_thread.stop_and_join();
  state.exploration_thread.stop_and_join();
  state.exploration_done.store(false, std::memory_order_relaxed);
  state.ui.destroy_window(PROGRESS_WINDOW);
  state.card.close();
  show_card_absent(state.ui, true);
}

// The modules known so far may not be the ones on the bus now: the table and the main
// window's lists start again from nothing, as at start-up, and the progress window opens.
void forget_bus(AppState& state) {
  ModuleTable& modules = state.modules;
  const std::uint8_t editor = state.windows.editor_module;
  if (editor < modules.module_count) {
    state.card_session.editor_address = modules.records[editor].address.load();
  }
  for (ModuleRecord& record : modules.records) record = ModuleRecord{};
  modules.module_count = 0;

  Toolkit& ui = state.ui;
  ui.clear_items(MainControl::module_selector);
  ui.add_item(MainControl::module_selector, format_decimal(COMMON_ADDRESS));
  ui.clear_items(MainControl::type_bytes_list);
  ui.set_text(MainControl::module_count_label, "Nombre de modules : 0");
  ui.set_enabled(MainControl::parameters_button, false);
  for (int button : MAIN_COURSE_BUTTONS) ui.set_enabled(button, false);
  open_progress_window(ui);
}

void on_card_back(AppState& state) {
  show_card_absent(state.ui, false);
  state.card_session.absent = false;
  forget_bus(state);
  state.backlight_pending = true;
  state.transfer.resend_everything();
  state.card_session.explore_at = state.env.now_ms() + PAUSE_BEFORE_EXPLORE.count();
}

}  // namespace

void start_exploration(AppState& state) {
  ExplorationLinks links{state.env,
                         state.bus,
                         state.card,
                         state.modules,
                         exploration_window_updates(state.posts),
                         state.exploration_done,
                         [&fatal = state.fatal](std::string title, std::string text) {
                           fatal.request(std::move(title), std::move(text));
                         }};
  if (!start_worker(
          state, state.exploration_thread,
          [links](std::stop_token stop) { run_exploration(links, std::move(stop)); },
          "exploration")) {
    // Tried again, command included, once the system may have a thread to give.
    state.card_session.explore_at = state.worker_retry_at;
  }
}

void supervise_card(AppState& state) {
  CardSession& session = state.card_session;
  if (!session.absent && !state.card.present()) on_card_lost(state);
  if (!session.absent) {
    state.card_watcher.probe(session.bus_explored && !state.transfer_thread.joinable());
  } else if (state.card_watcher.look_for_card()) {
    on_card_back(state);
  }
  if (session.explore_at && state.env.now_ms() >= *session.explore_at) {
    session.explore_at.reset();
    state.bus.send_explore();
    start_exploration(state);
  }
}

void follow_explored_bus(AppState& state) {
  CardSession& session = state.card_session;
  session.bus_explored = true;
  if (!session.editor_address) return;
  const std::uint8_t address = *session.editor_address;
  session.editor_address.reset();
  const ModuleTable& modules = state.modules;
  for (int i = 0; i < modules.module_count; ++i) {
    if (modules.records[static_cast<std::size_t>(i)].address == address) {
      state.windows.editor_module = static_cast<std::uint8_t>(i);
      return;
    }
  }
  Toolkit& ui = state.ui;
  if (!ui.window_exists(PARAMETER_WINDOW)) return;
  ui.destroy_window(PARAMETER_WINDOW);
  ui.message_box("Erreur", "Le module " + format_decimal(address) +
                               " n'est plus sur le bus : la fenêtre Paramétrages est fermée");
}

}  // namespace kavri
