// The link monitor: once a second it tests the simulator link, reopens it while it is down,
// keeps the link-up flag and reports the status label's text and colour.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "base/env.h"
#include "simlink/ipc_client.h"

namespace kavri {

struct LinkLabel {
  std::string text;  // "Déconnecter", "Déconnecté"
  std::uint8_t r = 0, g = 0, b = 0;
};

class LinkMonitor {
 public:
  // `link_up` is written by the monitor alone (release); `on_label` is called on the
  // monitor's thread and must only hand the label over to the main thread.
  LinkMonitor(Env& env, IpcClient& client, std::atomic<bool>& link_up,
              std::function<void(const LinkLabel&)> on_label);

  // One turn: test the link, reopen it while down. No wait of its own; a stop request cuts
  // the link's attempts short, and ends the turn at once while another thread's batch holds
  // the link.
  void turn(std::stop_token stop = {});
  // Turns every 1,000 ms until `stop` is requested; a stop wakes the wait at once.
  void run(std::stop_token stop);

 private:
  Env& env_;
  IpcClient& client_;
  std::atomic<bool>& link_up_;
  std::function<void(const LinkLabel&)> on_label_;
};

}  // namespace kavri
