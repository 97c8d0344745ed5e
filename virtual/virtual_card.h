// The virtual master card and its modules: an in-process HidCard that answers the driver as
// the card's and the modules' firmware do (scan, parameter dumps, analog answers, EEPROM
// writes, address changes), records everything it receives, and can inject faults.
// Thread-safe: the driver's threads write and read while the panel and tests inspect it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "bus_model/module_params.h"
#include "device/bus_messages.h"
#include "device/hid.h"

namespace kavri {

struct VirtualModule {
  std::uint8_t address = 0;
  std::array<std::int64_t, PARAM_FIELD_COUNT> params{};  // indexed by Param, EEPROM contents
  std::uint16_t analog_value = 0;                        // what the module reports
  // What the module shows, as last commanded.
  std::uint8_t position1 = 0, position2 = 0;
  std::uint8_t output1 = 0, output2 = 0;

  std::int64_t param(Param p) const { return params[static_cast<std::size_t>(p)]; }
  void set_param(Param p, std::int64_t v) { params[static_cast<std::size_t>(p)] = v; }
};

// What a module's EEPROM keeps of `value` for a parameter: the low byte of a one-byte field,
// the low 16 bits of a pair, read back signed for gauge1_sim_min and gauge2_sim_min.
std::int64_t eeprom_value(Param param, std::int64_t value);

class VirtualCard final : public HidCard {
 public:
  explicit VirtualCard(std::vector<VirtualModule> modules);

  HidStatus write_report(std::span<const std::uint8_t> report) override;
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override;
  // Declines only while writes are held (set_writes_block).
  std::optional<HidStatus> write_report_at_once(std::span<const std::uint8_t> report) override;

  // Inspection.
  std::vector<BusReport> received() const;  // every report the driver wrote, in order
  void clear_received();
  // Off: nothing is recorded (kavri-bench, where nobody reads the record, which would take
  // ten thousand reports a second from a bench at rest).
  void keep_received(bool keep);
  std::vector<VirtualModule> modules() const;
  std::uint8_t backlight() const;
  // Grows with every change of what the modules show (positions, outputs, addresses,
  // parameters, analog values), of the backlight and of the plug: while it stays the same,
  // an observer has nothing new to show.
  std::uint64_t change_count() const { return changes_.load(std::memory_order_acquire); }
  void set_analog_value(int module_index, std::uint16_t value);

  // Called (outside the card's lock) after an EEPROM parameter write or an address change
  // has changed a module, so that the bench can save the modules where they came from.
  void set_on_eeprom_change(std::function<void()> hook);

  // Faults.
  void inject_answer(const BusReport& answer);  // as if the card had sent it
  void set_module_error(std::uint8_t address);  // that module's dump answers RSP_MODULE_ERROR
  void set_silent(bool silent);  // commands get no answer from now on (queued ones still arrive)
  // Unplugged, every write and read says the card is gone (a read waiting for an answer
  // wakes at once). Plugged back in, the card works again from a fresh scan, but a handle
  // opened before the unplug stays gone, as a real one does (see LentCardLayer).
  void set_unplugged(bool unplugged);
  bool unplugged() const;
  int unplug_count() const;  // how many times the card was unplugged
  // While set, a write waits (without returning) until it is cleared or the card unplugged:
  // a card that has stopped taking reports.
  void set_writes_block(bool block);

 private:
  // The write once the card takes it, under the lock held by `lock`.
  HidStatus take_report(std::unique_lock<std::mutex>& lock, std::span<const std::uint8_t> report);
  // Acts on one command under the lock; true when it changed a module's EEPROM or address.
  bool handle_command(const BusReport& command);
  void scan();
  void dump(std::uint8_t address, std::uint8_t index);
  void answer_analog(std::uint8_t address);
  bool write_param_byte(std::uint8_t address, std::uint8_t code, std::uint8_t data);
  // Every module at that address hears a command, as on the bus; returns how many did.
  // (A template: a report reaches its module without making a std::function.)
  template <typename Action>
  int for_each_at(std::uint8_t address, const Action& action);
  const VirtualModule* find(std::uint8_t address) const;  // the first at that address
  void queue(const BusReport& answer);
  void index_addresses();
  // With the lock held: a plain store, since only lock holders write the count.
  void count_change() {
    changes_.store(changes_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  }

  mutable std::mutex mutex_;
  std::condition_variable answer_ready_;
  std::deque<BusReport> answers_;
  std::deque<BusReport> received_;
  bool keep_received_ = true;
  std::vector<VirtualModule> modules_;
  // The modules at each address in table order, for a report to reach them without a walk
  // over the whole bus: first_at_[address], then next_at_[index] (-1 ends).
  std::array<int, 256> first_at_{};
  std::vector<int> next_at_;
  std::uint8_t backlight_ = 0;
  std::condition_variable writes_unblocked_;
  bool silent_ = false, unplugged_ = false, writes_block_ = false;
  int unplug_count_ = 0;
  std::uint8_t error_address_ = 0;
  bool has_error_address_ = false;
  std::function<void()> on_eeprom_change_;
  std::atomic<std::uint64_t> changes_{0};  // raised under the lock, read without it
};

}  // namespace kavri
