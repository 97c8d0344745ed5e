// The driver on a test bench: virtual time, the headless toolkit, the virtual card lent through
// the HID layer, a simulator link that finds no server, and a private directory for the
// settings and calibration files.
#pragma once

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/driver.h"
#include "simlink/ipc_transport.h"
#include "simlink/posix_transport.h"
#include "testing/fake_env.h"
#include "testing/scratch_directory.h"
#include "ui/headless_toolkit.h"
#include "virtual/lent_card_layer.h"
#include "virtual/virtual_card.h"

namespace kavri::testing {

inline VirtualModule module_at(std::uint8_t address, int gauge1_type, int gauge2_type = 1) {
  VirtualModule module;
  module.address = address;
  module.set_param(Param::gauge1_type, gauge1_type);
  module.set_param(Param::gauge2_type, gauge2_type);
  module.set_param(Param::gauge1_course_max, 255);
  module.set_param(Param::gauge2_course_max, 255);
  return module;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct ShellRig {
  explicit ShellRig(std::vector<VirtualModule> modules = {module_at(12, 5)})
      : card(std::move(modules)) {}

  DriverPorts ports() { return DriverPorts{env, ui, hid, *transport, files.path(), {}, {}}; }
  std::string file(const char* name) const { return files.path() + "/" + name; }

  // Waits (real time, bounded) until the exploration thread has reported the end.
  static bool wait_for_exploration(AppState& state) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!state.exploration_done.load()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  ScratchDirectory files;
  FakeEnv env;
  HeadlessToolkit ui;
  VirtualCard card;
  LentCardLayer hid{&card};
  // No server listens in an empty directory of our own: the link stays down.
  std::unique_ptr<IpcTransport> transport =
      make_posix_transport(PosixTransportOptions{file("ipc")});
};

}  // namespace kavri::testing
