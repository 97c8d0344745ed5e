// Test and benchmark support: a transfer cycle wired to its real peers (the IPC client over an
// in-process virtual simulator, the virtual card through the bus sender) on any Env.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "base/env.h"
#include "engine/transfer_cycle.h"
#include "server/in_process_transport.h"
#include "server/offset_space.h"
#include "simlink/ipc_transport.h"
#include "virtual/virtual_card.h"

namespace kavri {

// Passes every call through and counts the exchanges with the simulator.
class CountingTransport final : public IpcTransport {
 public:
  explicit CountingTransport(std::unique_ptr<IpcTransport> inner) : inner_(std::move(inner)) {}
  std::uint32_t process_id() override { return inner_->process_id(); }
  std::optional<IpcServerClass> find_server() override { return inner_->find_server(); }
  bool register_message() override { return inner_->register_message(); }
  IpcResult create_area(const std::string& name) override { return inner_->create_area(name); }
  std::span<std::uint8_t> area() override { return inner_->area(); }
  IpcReply exchange(std::size_t used, Millis timeout, std::stop_token stop) override {
    ++exchanges;
    return inner_->exchange(used, timeout, stop);
  }
  void close() override { inner_->close(); }

  std::atomic<int> exchanges{0};

 private:
  std::unique_ptr<IpcTransport> inner_;
};

// Virtual modules at addresses 1, 2, ... with the given analog values.
inline std::vector<VirtualModule> virtual_modules(int count) {
  std::vector<VirtualModule> modules(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    modules[static_cast<std::size_t>(i)].address = static_cast<std::uint8_t>(i + 1);
    modules[static_cast<std::size_t>(i)].analog_value = static_cast<std::uint16_t>(1000 + i);
  }
  return modules;
}

struct TransferRig {
  explicit TransferRig(Env& env_in, int module_count)
      : env(env_in),
        transport(make_in_process_transport(space)),
        ipc(env, transport),
        card(virtual_modules(module_count)),
        bus(card),
        cycle(TransferLinks{env, bus, card, ipc, modules, calibration, backlight_level}) {
    modules.module_count = static_cast<std::uint8_t>(module_count);
    for (int i = 0; i < module_count; ++i) {
      record(i).address = static_cast<std::uint8_t>(i + 1);
    }
    IpcResult result;
    ipc.ipc_open(0, result);
  }

  ModuleRecord& record(int i) { return modules.records[static_cast<std::size_t>(i)]; }

  Env& env;
  OffsetSpace space;
  CountingTransport transport;
  IpcClient ipc;
  VirtualCard card;
  BusSender bus;
  ModuleTable modules;
  CalibrationTables calibration;
  Relaxed<int> backlight_level{10};
  TransferCycle cycle;
};

// A linear gauge (type 2): position = value - sim_min over course 0-255, ratio 1.
inline void set_linear_gauge(ModuleRecord& m, int gauge, std::uint16_t offset,
                             std::uint8_t length) {
  if (gauge == 1) {
    m.gauges[0].type = 2;
    m.gauges[0].offset = offset;
    m.gauges[0].offset_length = length;
    m.gauges[0].course_max = 255;
    m.gauges[0].sim_max = 32767;
    m.gauges[0].ratio = 1.0f;
  } else {
    m.gauges[1].type = 2;
    m.gauges[1].offset = offset;
    m.gauges[1].offset_length = length;
    m.gauges[1].course_max = 255;
    m.gauges[1].sim_max = 32767;
    m.gauges[1].ratio = 1.0f;
  }
}

}  // namespace kavri
