#include "shell/app_state.h"

#include <utility>

#include "shell/main_window.h"

namespace kavri {

std::string file_in(const std::string& directory, const char* name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

void FatalRequest::request(std::string title, std::string text) {
  std::lock_guard lock(mutex_);
  if (!message_) message_ = Message{std::move(title), std::move(text)};
  requested_.store(true, std::memory_order_release);
}

std::optional<FatalRequest::Message> FatalRequest::take() {
  if (!requested_.load(std::memory_order_acquire)) return std::nullopt;
  std::lock_guard lock(mutex_);
  return std::exchange(message_, std::nullopt);
}

bool FatalRequest::pending() const {
  std::lock_guard lock(mutex_);
  return message_.has_value();
}

namespace {

// The link monitor runs on its own thread: its label changes reach the widget through the
// main loop.
std::function<void(const LinkLabel&)> post_label(UiPosts& posts) {
  return [&posts](const LinkLabel& label) {
    posts.post([label](Toolkit& ui) {
      ui.set_background(MainControl::status_label, Rgb{label.r, label.g, label.b});
      ui.set_text(MainControl::status_label, label.text);
    });
  };
}

}  // namespace

AppState::AppState(Env& env_in, Toolkit& ui_in, HidLayer& hid, std::unique_ptr<HidCard> card_in,
                   IpcTransport& transport, const std::string& directory)
    : env(env_in),
      ui(ui_in),
      settings_path(file_in(directory, SETTINGS_FILE)),
      card(env_in, std::move(card_in)),
      card_watcher(env, hid, card),
      bus(card),
      ipc(env, transport),
      windows{env, ui, bus, modules, calibration, dispatch},
      link_monitor(env, ipc, link_up, post_label(posts)),
      transfer(TransferLinks{env, bus, card, ipc, modules, calibration, backlight_level}) {
  windows.calibration_file = file_in(directory, CALIBRATION_FILE);
  windows.hand_drive_gauge = [this](int gauge) { transfer.set_hand_driven_gauge(gauge); };
}

}  // namespace kavri
