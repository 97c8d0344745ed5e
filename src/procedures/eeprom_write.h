// The EEPROM write of one module: 38 CMD_WRITE_PARAM reports in a fixed order, 10 ms apart,
// then CMD_SET_ADDRESS and 100 ms. It runs in steps driven by the main loop, so the windows
// stay drawn during the half second it lasts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/env.h"
#include "bus_model/module_config.h"
#include "bus_model/module_params.h"
#include "bus_model/module_record.h"
#include "device/bus_sender.h"

namespace kavri {

constexpr Millis PARAM_REPORT_PAUSE{10};
constexpr Millis ADDRESS_REPORT_PAUSE{100};

// What one write sends, taken from the edited configuration when the write starts.
struct EepromWritePlan {
  std::uint8_t address = 0;      // every report goes to this address (field "Ancienne")
  std::uint8_t new_address = 0;  // data of CMD_SET_ADDRESS (field "Nouvelle")
  std::array<std::int64_t, PARAM_FIELD_COUNT> values{};  // by Param
};

// Every value of `config` as the module stores it (config_value), and both addresses.
EepromWritePlan eeprom_plan(const ModuleConfig& config);

struct EepromReport {
  std::uint8_t code = 0;
  std::uint8_t data = 0;
  // The parameter whose value is complete once this report is sent (a two-byte value is
  // complete after its high byte); none for the low byte and for the address report.
  std::optional<Param> completes;
};

// The 39 reports of a plan: the parameters in EEPROM write order (low byte before high byte,
// two's complement), then CMD_SET_ADDRESS.
std::vector<EepromReport> eeprom_reports(const EepromWritePlan& plan);

enum class EepromWriteEnd {
  written,    // every report sent and the address report's pause over
  card_gone,  // the card went away: the write stopped at the report that could not be sent
};

// Runs one write at a time. Main thread only.
class EepromWriter {
 public:
  EepromWriter(Env& env, BusSender& bus, ModuleTable& modules)
      : env_(env), bus_(bus), modules_(modules) {}
  EepromWriter(const EepromWriter&) = delete;
  EepromWriter& operator=(const EepromWriter&) = delete;

  bool running() const { return !reports_.empty(); }

  // Starts writing `plan` to the module in table slot `module_index` and sends the first
  // report at once. Each value sent is stored in that record. `on_end` runs once the address
  // report's pause has passed, or as soon as a report finds the card gone (nothing more is
  // sent or stored then). False, with nothing sent, while another write runs.
  bool start(const EepromWritePlan& plan, int module_index,
             std::function<void(EepromWriteEnd)> on_end);

  // Sends the next report once the pause after the previous one has passed on the Env's
  // clock, or ends the write. Called on every pass of the main loop; never waits.
  void step();

 private:
  Env& env_;
  BusSender& bus_;
  ModuleTable& modules_;
  EepromWritePlan plan_;
  int module_index_ = 0;
  std::vector<EepromReport> reports_;
  std::size_t next_ = 0;
  std::int64_t due_ms_ = 0;
  void end(EepromWriteEnd how);

  std::function<void(EepromWriteEnd)> on_end_;
};

}  // namespace kavri
