#include "simlink/link_monitor.h"

#include <utility>

#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr Millis TURN_PERIOD{1000};
// The wait between turns is cut short when another user of the link (the transfer thread) has
// already found the server gone, so the status label turns red within about a second.
constexpr Millis LOSS_CHECK_PERIOD{100};

LinkLabel red_label(const char* text) { return LinkLabel{text, 255, 0, 0}; }

}  // namespace

LinkMonitor::LinkMonitor(Env& env, IpcClient& client, std::atomic<bool>& link_up,
                         std::function<void(const LinkLabel&)> on_label)
    : env_(env), client_(client), link_up_(link_up), on_label_(std::move(on_label)) {}

void LinkMonitor::turn(std::stop_token stop) {
  IpcResult result = IpcResult::ok;
  // The test read, its process and the reopen are one batch: the transfer thread's cannot slip
  // between. A stop while that thread's batch runs ends the turn without waiting for it.
  const auto batch = client_.lock_batch(stop);
  if (!batch) return;
  if (!client_.ipc_read(OFFSET_SERVER_VERSION, 4, nullptr, result)) {
    link_up_.store(false, std::memory_order_release);
    on_label_(red_label("Déconnecter"));
    client_.ipc_close();
  }
  if (!client_.ipc_process(result, stop)) {
    link_up_.store(false, std::memory_order_release);
    on_label_(red_label("Déconnecté"));
    client_.ipc_close();
  }
  if (!link_up_.load(std::memory_order_relaxed)) {
    link_up_.store(client_.ipc_open(0, result, stop), std::memory_order_release);
  }
}

void LinkMonitor::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    turn(stop);
    for (Millis waited{0}; waited < TURN_PERIOD && !client_.link_lost();
         waited += LOSS_CHECK_PERIOD) {
      if (!env_.sleep_for(LOSS_CHECK_PERIOD, stop)) return;
    }
  }
}

}  // namespace kavri
