#include "engine/transfer_cycle.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>

#include "bus_model/gauge_types.h"
#include "engine/gauge_steps.h"

namespace kavri {
namespace {

constexpr std::uint32_t LIGHTS_OFFSET = 0x0D0C;
constexpr std::uint32_t BATTERY_OFFSET = 0x281C;
constexpr std::uint32_t GLIDE_FLAG_OFFSET = 0x0C4C;
constexpr Millis FIRST_PASS_WAIT{500};
constexpr Millis PASS_WAIT{5};
// A pass that has read nothing for this long reads once without waiting: a card pulled out is
// then noticed within a second, even by a first pass that waits half a second per module.
constexpr Millis CARD_READ_PERIOD{500};

// The analog value as the simulator receives it: little-endian, zero-extended to 4 and 8 bytes
// (length 1 takes the low byte). Other lengths have no such form and write nothing; the module
// is asked for its value all the same.
std::array<std::uint8_t, 8> analog_bytes(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

void queue_read(IpcClient& ipc, std::uint16_t offset, std::uint8_t length, ReceiveAreas& areas,
                IpcResult& result) {
  if (offset == 0) return;
  if (void* area = receive_area(areas, length)) ipc.ipc_read(offset, length, area, result);
}

}  // namespace

struct TransferCycle::State {
  std::atomic<bool> first_pass{false};
  std::atomic<bool> resend{false};
  std::atomic<int> hand_driven_gauge{-1};  // set by the main thread
  std::int64_t last_read_ms = 0;
  TransferWork work;
  std::uint16_t sim_lights = 0;
  std::uint16_t sim_lights_last = 0;
  // At most one analog request is outstanding in the whole bus; it lapses after
  // ANALOG_ANSWER_LIFETIME so that one silent module cannot stop every other's requests.
  bool analog_request_pending = false;
  std::int64_t analog_requested_at = 0;
  int analog_asked = -1;  // the table index of the module asked last
  // After a lapse, until the end of the pass: only modules after this index may be asked.
  int analog_turn_after = -1;
  BusReport input_report{};
  std::array<ModuleTransfer, MAX_MODULES> modules{};
  // Gauges that a calibration window drove by hand: their position is sent again once the
  // window lets them go, wherever the needle was left.
  std::array<bool, 2 * MAX_MODULES> hand_driven{};
};

TransferCycle::TransferCycle(TransferLinks links)
    : links_(links), state_(std::make_unique<State>()) {}

TransferCycle::~TransferCycle() = default;

void TransferCycle::set_first_pass() { state_->first_pass = true; }

void TransferCycle::resend_everything() {
  state_->modules.fill(ModuleTransfer{});
  state_->resend = true;
}

void TransferCycle::set_hand_driven_gauge(int gauge) {
  state_->hand_driven_gauge.store(gauge, std::memory_order_relaxed);
}

const ModuleTransfer& TransferCycle::module_transfer(int index) const {
  return state_->modules[static_cast<std::size_t>(index)];
}

void TransferCycle::run(std::stop_token stop) {
  // An answer or a request from before the stop belongs to the link or card of then.
  State& s = *state_;
  for (ModuleTransfer& t : s.modules) t.analog_answered = false;
  s.analog_request_pending = false;
  s.input_report = BusReport{};
  while (!stop.stop_requested() && run_pass(stop)) {
  }
}

bool TransferCycle::run_pass(std::stop_token stop) {
  State& s = *state_;
  const int count = std::min<int>(links_.modules.module_count, MAX_MODULES);
  s.work.send_unchanged = s.resend;
  if (s.work.send_unchanged) s.sim_lights_last = 0;
  exchange_with_simulator(count, stop);

  if (s.analog_request_pending &&
      links_.env.now_ms() - s.analog_requested_at >= ANALOG_ANSWER_LIFETIME.count()) {
    s.analog_request_pending = false;
    s.analog_turn_after = s.analog_asked;
  }
  const bool first_pass = s.first_pass;
  for (int j = 0; j < count; ++j) {
    if (stop.stop_requested()) return false;
    if (first_pass) {
      read_when_idle();
      if (!links_.env.sleep_for(FIRST_PASS_WAIT, stop)) return false;
    }
    deliver_module(j);
  }
  s.analog_turn_after = -1;  // the next pass starts again from the first module
  if (stop.stop_requested()) return false;
  if (first_pass) s.first_pass = false;
  // A pass cut short leaves the request for the next one, which resends from the start.
  if (s.work.send_unchanged) s.resend = false;
  follow_lights();
  read_when_idle();
  return links_.env.sleep_for(PASS_WAIT, stop);
}

void TransferCycle::exchange_with_simulator(int count, std::stop_token stop) {
  State& s = *state_;
  IpcClient& ipc = links_.ipc;
  IpcResult result = IpcResult::ok;  // never examined: a failed exchange keeps the old values
  const auto batch = ipc.lock_batch(stop);
  if (!batch) return;  // asked to stop while another thread's batch ran
  ipc.ipc_read(LIGHTS_OFFSET, 2, &s.sim_lights, result);
  ipc.ipc_read(BATTERY_OFFSET, 2, &s.work.sim_battery_low, result);
  for (int i = 0; i < count; ++i) {
    const ModuleRecord& m = links_.modules.records[static_cast<std::size_t>(i)];
    ModuleTransfer& t = s.modules[static_cast<std::size_t>(i)];
    for (std::size_t g = 0; g < 2; ++g) {
      queue_read(ipc, m.gauges[g].offset, m.gauges[g].offset_length, t.gauges[g].value, result);
    }
    for (std::size_t o = 0; o < 2; ++o) {
      queue_read(ipc, m.outputs[o].offset, m.outputs[o].offset_length, t.outputs[o].value, result);
    }
    const std::uint8_t analog_length = m.analog_offset_length;
    if (m.analog_offset != 0 && has_receive_area(analog_length) && t.analog_answered) {
      ipc.ipc_write(m.analog_offset, analog_length, analog_bytes(t.analog_value).data(), result);
    }
    if (reads_glide_flag(m.gauges[0].type))
      ipc.ipc_read(GLIDE_FLAG_OFFSET, 1, &s.work.glide_flag, result);
  }
  ipc.ipc_process(result, stop);
}

void TransferCycle::deliver_module(int j) {
  State& s = *state_;
  const ModuleRecord& m = links_.modules.records[static_cast<std::size_t>(j)];
  ModuleTransfer& t = s.modules[static_cast<std::size_t>(j)];
  const std::uint8_t address = m.address;
  const auto send = [&](const BusCommands& commands) {
    for (int c = 0; c < commands.count; ++c) {
      const BusCommand& command = commands.items[static_cast<std::size_t>(c)];
      links_.bus.send(command.code, address, command.data);
    }
  };
  const int hand_driven = s.hand_driven_gauge.load(std::memory_order_relaxed);
  for (int g = 0; g < 2; ++g) {
    const int gauge = 2 * j + g;
    bool& driven = s.hand_driven[static_cast<std::size_t>(gauge)];
    if (gauge == hand_driven) {
      driven = true;  // the needle is the calibration window's
      continue;
    }
    const bool resend = std::exchange(driven, false);
    send(gauge_step(m, t, g, links_.calibration, j, s.work, resend));
  }
  for (int o = 0; o < 2; ++o) send(output_step(m, t, o, s.work));
  analog_step(m, t, j);
}

void TransferCycle::analog_step(const ModuleRecord& m, ModuleTransfer& t, int j) {
  State& s = *state_;
  const std::uint8_t address = m.address;
  if (m.analog_offset != 0 && !s.analog_request_pending && j > s.analog_turn_after) {
    s.analog_turn_after = -1;
    s.analog_asked = j;
    links_.bus.send_read_analog(address);
    // A bounded read: a card or module that never answers costs this much once per lifetime
    // of a request, instead of stopping the pass for good. A timed-out read zeroes the buffer.
    links_.card.read_report(s.input_report, static_cast<int>(ANALOG_READ_TIMEOUT.count()));
    const std::int64_t now = links_.env.now_ms();
    s.last_read_ms = now;
    s.analog_request_pending = true;
    s.analog_requested_at = now;
  }
  // The last answer read, whoever asked for it, is taken by the module it names.
  const BusReport& answer = s.input_report;
  if (answer[5] == ANALOG_MARK && answer[6] == address) {
    t.analog_value = static_cast<std::uint16_t>(answer[7] + 256 * answer[8]);
    t.analog_answered = true;
    s.analog_request_pending = false;
  }
}

// The read takes whatever answer is there into the input report, as an analog read would: an
// answer that came late is still matched to its module by the next analog step.
void TransferCycle::read_when_idle() {
  State& s = *state_;
  const std::int64_t now = links_.env.now_ms();
  if (now - s.last_read_ms < CARD_READ_PERIOD.count()) return;
  s.last_read_ms = now;
  links_.card.read_report(s.input_report, 0);
}

void TransferCycle::follow_lights() {
  State& s = *state_;
  if (s.sim_lights == s.sim_lights_last) return;
  s.sim_lights_last = s.sim_lights;
  const int level = s.sim_lights != 0 ? links_.backlight_level.load() : 0;
  links_.bus.send(CMD_SET_BACKLIGHT, COMMON_ADDRESS, backlight_brightness(level));
}

}  // namespace kavri
