#include "virtual/virtual_card.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace kavri {

namespace {

// The card scans the bus in 50 steps: one answer per step, a module or an empty step.
constexpr std::size_t kScanSteps = 50;

// A long-running bench sends an analog request every few milliseconds; the record of what the
// card received keeps the newest reports only, so it cannot grow without bound.
constexpr std::size_t kReceivedKept = std::size_t{1} << 20;

std::uint8_t low_byte(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

// The field and byte that one EEPROM write code names.
struct WriteTarget {
  Param param;
  bool two_bytes;
  bool high;
};

std::optional<WriteTarget> write_target(std::uint8_t code) {
  for (const auto& info : param_infos()) {
    if (code == info.write_code) return WriteTarget{info.param, info.two_bytes, false};
    if (info.two_bytes && code == info.write_code_high) return WriteTarget{info.param, true, true};
  }
  return std::nullopt;
}

// The byte that one dump answer code carries, from the module's EEPROM.
std::optional<std::uint8_t> dump_byte(const VirtualModule& module, std::uint8_t code) {
  for (const auto& info : param_infos()) {
    const std::int64_t value = module.param(info.param);
    if (code == info.answer_code) return low_byte(info.two_bytes ? value >> 8 : value);
    if (info.two_bytes && code == info.answer_code_low) return low_byte(value);
  }
  return std::nullopt;
}

}  // namespace

std::int64_t eeprom_value(Param param, std::int64_t value) {
  if (!param_info(param).two_bytes) return value & 0xFF;
  const auto bits = static_cast<std::uint16_t>(value & 0xFFFF);
  if (param == Param::gauge1_sim_min || param == Param::gauge2_sim_min) {
    return static_cast<std::int16_t>(bits);
  }
  return bits;
}

VirtualCard::VirtualCard(std::vector<VirtualModule> modules) : modules_(std::move(modules)) {
  index_addresses();
}

void VirtualCard::index_addresses() {
  first_at_.fill(-1);
  next_at_.assign(modules_.size(), -1);
  for (std::size_t i = modules_.size(); i-- > 0;) {
    int& first = first_at_[modules_[i].address];
    next_at_[i] = first;
    first = static_cast<int>(i);
  }
}

HidStatus VirtualCard::write_report(std::span<const std::uint8_t> report) {
  if (report.empty()) return HidStatus::failed;
  std::unique_lock lock(mutex_);
  writes_unblocked_.wait(lock, [this] { return !writes_block_ || unplugged_; });
  return take_report(lock, report);
}

std::optional<HidStatus> VirtualCard::write_report_at_once(std::span<const std::uint8_t> report) {
  if (report.empty()) return HidStatus::failed;
  std::unique_lock lock(mutex_);
  if (writes_block_ && !unplugged_) return std::nullopt;
  return take_report(lock, report);
}

HidStatus VirtualCard::take_report(std::unique_lock<std::mutex>& lock,
                                   std::span<const std::uint8_t> report) {
  if (unplugged_) return HidStatus::gone;
  BusReport command{};
  std::copy_n(report.begin(), std::min(report.size(), command.size()), command.begin());
  if (keep_received_) {
    if (received_.size() >= kReceivedKept) received_.pop_front();
    received_.push_back(command);
  }
  if (!handle_command(command)) return HidStatus::ok;
  // Outside the lock: the hook reads the modules back through the card.
  const std::function<void()> hook = on_eeprom_change_;
  lock.unlock();
  if (hook) hook();
  return HidStatus::ok;
}

HidStatus VirtualCard::read_report(std::span<std::uint8_t> report, int timeout_ms) {
  if (report.empty()) return HidStatus::failed;
  std::fill(report.begin(), report.end(), std::uint8_t{0});
  std::unique_lock lock(mutex_);
  const auto deliverable = [this] { return unplugged_ || !answers_.empty(); };
  if (!deliverable()) {  // an answer already there is taken without reading the clock
    if (timeout_ms < 0) {
      answer_ready_.wait(lock, deliverable);
    } else if (!answer_ready_.wait_for(lock, std::chrono::milliseconds(timeout_ms), deliverable)) {
      return HidStatus::timed_out;
    }
  }
  if (unplugged_) return HidStatus::gone;
  const BusReport next = answers_.front();
  answers_.pop_front();
  std::copy_n(next.begin(), std::min(report.size(), next.size()), report.begin());
  return HidStatus::ok;
}

template <typename Action>
int VirtualCard::for_each_at(std::uint8_t address, const Action& action) {
  int count = 0;
  bool moved = false;
  for (int i = first_at_[address]; i >= 0; i = next_at_[static_cast<std::size_t>(i)]) {
    VirtualModule& module = modules_[static_cast<std::size_t>(i)];
    action(module);
    moved = moved || module.address != address;  // CMD_SET_ADDRESS
    ++count;
  }
  if (moved) index_addresses();
  if (count > 0) count_change();
  return count;
}

bool VirtualCard::handle_command(const BusReport& command) {
  const std::uint8_t code = command[1];
  const std::uint8_t address = command[2];
  const std::uint8_t data = command[3];
  switch (code) {
    case CMD_EXPLORE:
      scan();
      return false;
    case CMD_DUMP_PARAMS:
      dump(address, data);
      return false;
    case CMD_END_EXPLORATION:
      queue(make_report(RSP_EXPLORATION_DONE));
      return false;
    case CMD_SET_POSITION_1:
      for_each_at(address, [data](VirtualModule& m) { m.position1 = data; });
      return false;
    case CMD_SET_POSITION_2:
      for_each_at(address, [data](VirtualModule& m) { m.position2 = data; });
      return false;
    case CMD_SET_OUTPUT_1:
      for_each_at(address, [data](VirtualModule& m) { m.output1 = data; });
      return false;
    case CMD_SET_OUTPUT_2:
      for_each_at(address, [data](VirtualModule& m) { m.output2 = data; });
      return false;
    case CMD_SET_BACKLIGHT:
      if (address == COMMON_ADDRESS) {
        backlight_ = data;
        count_change();
      }
      return false;
    case CMD_READ_ANALOG:
      answer_analog(address);
      return false;
    case CMD_SET_ADDRESS:
      return for_each_at(address, [data](VirtualModule& m) { m.address = data; }) > 0;
    default:
      if (code >= CMD_WRITE_PARAM_FIRST && code <= CMD_WRITE_PARAM_LAST) {
        return write_param_byte(address, code, data);
      }
      return false;  // CMD_RESET_MODULE and unknown codes: the modules answer nothing
  }
}

void VirtualCard::scan() {
  for (const auto& module : modules_) {
    queue(
        make_report(RSP_MODULE_FOUND, module.address, low_byte(module.param(Param::gauge1_type))));
  }
  for (std::size_t step = modules_.size(); step < kScanSteps; ++step)
    queue(make_report(RSP_SCAN_STEP));
  queue(make_report(RSP_SCAN_COMPLETE));
}

void VirtualCard::dump(std::uint8_t address, std::uint8_t index) {
  const VirtualModule* module = find(address);
  if (module == nullptr) return;
  if (has_error_address_ && error_address_ == address) {
    queue(make_report(RSP_MODULE_ERROR, address));
    return;
  }
  // Ascending codes: each pair's high byte before its low byte, and code 187 last.
  for (int code = RSP_PARAM_FIRST; code <= RSP_PARAM_LAST; ++code) {
    const auto answer_code = static_cast<std::uint8_t>(code);
    queue(make_report(answer_code, index, dump_byte(*module, answer_code).value_or(0)));
  }
}

void VirtualCard::answer_analog(std::uint8_t address) {
  const VirtualModule* module = find(address);
  if (module == nullptr) return;
  BusReport report{};
  report[5] = ANALOG_MARK;
  report[6] = address;
  report[7] = static_cast<std::uint8_t>(module->analog_value & 0xFF);
  report[8] = static_cast<std::uint8_t>(module->analog_value >> 8);
  queue(report);
}

bool VirtualCard::write_param_byte(std::uint8_t address, std::uint8_t code, std::uint8_t data) {
  const auto target = write_target(code);
  if (!target) return false;
  const auto store = [&](VirtualModule& m) {
    if (!target->two_bytes) {
      m.set_param(target->param, data);
      return;
    }
    const auto old_bits = static_cast<std::uint16_t>(m.param(target->param) & 0xFFFF);
    const auto bits = target->high ? static_cast<std::uint16_t>((old_bits & 0x00FF) | data << 8)
                                   : static_cast<std::uint16_t>((old_bits & 0xFF00) | data);
    m.set_param(target->param, eeprom_value(target->param, bits));
  };
  return for_each_at(address, store) > 0;
}

const VirtualModule* VirtualCard::find(std::uint8_t address) const {
  const int first = first_at_[address];
  return first < 0 ? nullptr : &modules_[static_cast<std::size_t>(first)];
}

// A silent card stops answering commands; what it had already queued, and injected
// answers, still arrive.
void VirtualCard::queue(const BusReport& report) {
  if (silent_) return;
  answers_.push_back(report);
  answer_ready_.notify_all();
}

std::vector<BusReport> VirtualCard::received() const {
  std::lock_guard lock(mutex_);
  return {received_.begin(), received_.end()};
}

void VirtualCard::clear_received() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

void VirtualCard::keep_received(bool keep) {
  std::lock_guard lock(mutex_);
  keep_received_ = keep;
  if (!keep) received_.clear();
}

std::vector<VirtualModule> VirtualCard::modules() const {
  std::lock_guard lock(mutex_);
  return modules_;
}

std::uint8_t VirtualCard::backlight() const {
  std::lock_guard lock(mutex_);
  return backlight_;
}

void VirtualCard::set_analog_value(int module_index, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  if (module_index < 0 || static_cast<std::size_t>(module_index) >= modules_.size()) return;
  modules_[static_cast<std::size_t>(module_index)].analog_value = value;
  count_change();
}

void VirtualCard::set_on_eeprom_change(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  on_eeprom_change_ = std::move(hook);
}

void VirtualCard::inject_answer(const BusReport& report) {
  std::lock_guard lock(mutex_);
  answers_.push_back(report);
  answer_ready_.notify_all();
}

void VirtualCard::set_module_error(std::uint8_t address) {
  std::lock_guard lock(mutex_);
  error_address_ = address;
  has_error_address_ = true;
}

void VirtualCard::set_silent(bool silent) {
  std::lock_guard lock(mutex_);
  silent_ = silent;
  answer_ready_.notify_all();
}

// An unplugged card loses what it had queued; plugged back in, it waits for commands.
void VirtualCard::set_unplugged(bool unplugged) {
  std::lock_guard lock(mutex_);
  if (unplugged && !unplugged_) {
    ++unplug_count_;
    answers_.clear();
  }
  unplugged_ = unplugged;
  count_change();
  answer_ready_.notify_all();
  writes_unblocked_.notify_all();
}

bool VirtualCard::unplugged() const {
  std::lock_guard lock(mutex_);
  return unplugged_;
}

int VirtualCard::unplug_count() const {
  std::lock_guard lock(mutex_);
  return unplug_count_;
}

void VirtualCard::set_writes_block(bool block) {
  std::lock_guard lock(mutex_);
  writes_block_ = block;
  writes_unblocked_.notify_all();
}

}  // namespace kavri
