// The driver on a test bench: virtual time, the headless toolkit, the virtual card lent through
// the HID layer, a simulator link that finds no server (or, once asked, an in-process one
// over an offset space the test sets), and a private directory for the settings and
// calibration files.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/in_process_transport.h"
#include "server/offset_space.h"
#include "shell/driver.h"
#include "shell/main_loop.h"
#include "simlink/ipc_transport.h"
#include "testing/eventually.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "testing/virtual_modules.h"
#if defined(_WIN32)
#include "testing/no_server_transport.h"
#else
#include "simlink/transport_posix.h"
#endif
#include "ui/headless_toolkit.h"
#include "virtual/lent_card_layer.h"
#include "virtual/virtual_card.h"

namespace kavri::testing {

struct ShellRig {
  explicit ShellRig(std::vector<VirtualModule> modules = {module_at(12, 5)})
      : card(std::move(modules)) {}

  DriverPorts ports() { return DriverPorts{env, ui, hid, *transport, files.path(), {}, {}}; }
  std::string file(const char* name) const { return files.path() + "/" + name; }

  // Waits (real time, bounded) until the exploration thread has reported the end.
  static bool wait_for_exploration(AppState& state) {
    return eventually([&] { return state.exploration_done.load(); }, std::chrono::seconds(30));
  }

  // Main loop passes until `done` holds; false when the loop ended first or a real minute
  // passed.
  static bool pass_until(AppState& state, const std::function<bool()>& done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    LoopEnd end;
    while (!done()) {
      if (std::chrono::steady_clock::now() > give_up || run_pass(state, std::nullopt, end)) {
        return false;
      }
    }
    return true;
  }

  // Main loop passes until the loop ends; false when a real minute passes first.
  static bool pass_to_the_end(AppState& state,
                              std::optional<std::int64_t> close_at_ms = std::nullopt) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    LoopEnd end;
    while (!run_pass(state, close_at_ms, end)) {
      if (std::chrono::steady_clock::now() > give_up) return false;
    }
    return true;
  }

  // From now on the link reaches a simulator whose offsets are `space`; `on_write` sees each
  // of the driver's writes.
  void serve_simulator(WriteObserver on_write = {}) {
    transport = make_in_process_transport(space, IpcServerClass::uipcmain, std::move(on_write));
  }

  ScratchDirectory files;
  FakeEnv env;
  HeadlessToolkit ui;
  VirtualCard card;
  LentCardLayer hid{&card};
  OffsetSpace space;
#if defined(_WIN32)
  // Every process of the desktop sees a server's window: this link has none to find at all.
  std::unique_ptr<IpcTransport> transport = make_no_server_transport();
#else
  // No server listens in an empty directory of our own: the link stays down.
  std::unique_ptr<IpcTransport> transport =
      make_posix_transport(PosixTransportOptions{file("ipc")});
#endif
};

}  // namespace kavri::testing
