// The driver's application state: the tables, the flags and the threads that the main thread
// and the worker threads share, gathered in one object that lives from the start-up to the end
// of the run. Everything a worker thread may touch is either atomic (the flags, the backlight
// mirror, the table fields) or serialises itself (the bus sender, the IPC client, the posts).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/env.h"
#include "base/program_version.h"
#include "base/relaxed.h"
#include "bus_model/module_record.h"
#include "config/calibration_tables.h"
#include "device/bus_sender.h"
#include "device/card_link.h"
#include "device/card_watcher.h"
#include "device/hid.h"
#include "engine/transfer_cycle.h"
#include "procedures/window_context.h"
#include "simlink/ipc_client.h"
#include "simlink/link_monitor.h"
#include "ui/dispatch.h"
#include "ui/toolkit.h"
#include "ui/ui_posts.h"

namespace kavri {

inline constexpr const char* SETTINGS_FILE = "Kavri.ini";

// Where the driver keeps its files: "Kavri.ini" and "Calibrage.ini" in `directory` (the
// current directory when empty).
std::string file_in(const std::string& directory, const char* name);

// A fatal end asked for by a worker thread (the exploration): the main loop shows the message
// on the main thread and ends the program without saving the settings.
class FatalRequest {
 public:
  struct Message {
    std::string title, text;
  };
  // Any thread; the first request wins.
  void request(std::string title, std::string text);
  // Main thread: the pending request, if any.
  std::optional<Message> take();
  bool pending() const;

 private:
  mutable std::mutex mutex_;
  std::optional<Message> message_;
  std::atomic<bool> requested_{false};  // so that the main loop's passes take no lock
};

// The main loop's account of the card across unplugs (main thread only).
struct CardSession {
  bool absent = false;        // its loss was seen: the bus's threads stopped, the label shown
  bool bus_explored = false;  // the exploration of the card open now has ended
  // The card is back: the bus is explored again from this time on (the Env's clock).
  std::optional<std::int64_t> explore_at;
  // The address of the module the parameter window was last opened for, while the bus is
  // explored again: its window and table slot follow it to its new place.
  std::optional<std::uint8_t> editor_address;
};

struct AppState {
  // `card` is the open master card, `hid` the layer that opened it (and opens it again after
  // an unplug); `hid` and `transport` must outlive the state.
  AppState(Env& env, Toolkit& ui, HidLayer& hid, std::unique_ptr<HidCard> card,
           IpcTransport& transport, const std::string& directory);
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  Env& env;
  Toolkit& ui;
  const std::string settings_path;
  // Main thread: the settings file exists but could not be read at start-up; it is left as it
  // is, and the shutdown saves nothing over it.
  bool settings_file_kept = false;
  // Main thread: the link entries read at start-up, written back as they were.
  std::string link, link_key_file;

  ModuleTable modules;
  CalibrationTables calibration;
  Dispatch dispatch;
  UiPosts posts;
  FatalRequest fatal;

  std::atomic<bool> exploration_done{false};  // set by the exploration, cleared by the loop
  std::atomic<bool> link_up{false};           // written by the link monitor alone
  std::atomic<bool> backlight_pending{false};
  // Main thread: a close (or the time limit) came; the loop ends once no EEPROM write runs.
  bool end_requested = false;
  // Main thread: no worker thread is started before this time (the Env's clock), the last
  // start having been refused by the system.
  std::int64_t worker_retry_at = 0;
  // The backlight slider's position, kept by the main thread for the transfer thread, which
  // may not read a widget.
  Relaxed<int> backlight_level;

  CardLink card;
  CardWatcher card_watcher;
  CardSession card_session;
  BusSender bus;
  IpcClient ipc;
  WindowContext windows;
  LinkMonitor link_monitor;
  TransferCycle transfer;

  // Declared last so that they are stopped and joined before anything they use goes away.
  Worker exploration_thread;
  Worker link_monitor_thread;
  Worker transfer_thread;
};

}  // namespace kavri
