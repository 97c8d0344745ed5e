#include "procedures/eeprom_write.h"

#include <utility>

namespace kavri {

EepromWritePlan eeprom_plan(const ModuleConfig& config) {
  EepromWritePlan plan;
  plan.address = config_address(config);
  plan.new_address = config_new_address(config);
  for (const ParamInfo& field : param_infos()) {
    plan.values[static_cast<std::size_t>(field.param)] = config_value(config, field.param);
  }
  return plan;
}

std::vector<EepromReport> eeprom_reports(const EepromWritePlan& plan) {
  std::vector<EepromReport> reports;
  reports.reserve(PARAM_COUNT + 1);
  for (const ParamInfo& info : param_infos()) {
    // The low bits of the two's complement form, whatever the sign.
    const auto bits = static_cast<std::uint64_t>(plan.values[static_cast<std::size_t>(info.param)]);
    const auto low = static_cast<std::uint8_t>(bits);
    if (info.two_bytes) {
      reports.push_back({info.write_code, low, std::nullopt});
      reports.push_back({info.write_code_high, static_cast<std::uint8_t>(bits >> 8), info.param});
    } else {
      reports.push_back({info.write_code, low, info.param});
    }
  }
  reports.push_back({CMD_SET_ADDRESS, plan.new_address, std::nullopt});
  return reports;
}

bool EepromWriter::start(const EepromWritePlan& plan, int module_index,
                         std::function<void(EepromWriteEnd)> on_end) {
  if (running()) return false;
  plan_ = plan;
  module_index_ = module_index;
  reports_ = eeprom_reports(plan);
  next_ = 0;
  due_ms_ = env_.now_ms();
  on_end_ = std::move(on_end);
  step();
  return true;
}

void EepromWriter::step() {
  if (!running() || env_.now_ms() < due_ms_) return;
  if (next_ == reports_.size()) {
    end(EepromWriteEnd::written);  // the address report's pause is over
    return;
  }
  const EepromReport& report = reports_[next_++];
  if (bus_.send(report.code, plan_.address, report.data) == HidStatus::gone) {
    end(EepromWriteEnd::card_gone);
    return;
  }
  if (report.completes && module_index_ >= 0 && module_index_ < MAX_MODULES) {
    write_param(modules_.records[static_cast<std::size_t>(module_index_)], *report.completes,
                plan_.values[static_cast<std::size_t>(*report.completes)]);
  }
  const bool address_report = next_ == reports_.size();
  due_ms_ = env_.now_ms() + (address_report ? ADDRESS_REPORT_PAUSE : PARAM_REPORT_PAUSE).count();
}

// The state is cleared before the callback, so that it may start another write.
void EepromWriter::end(EepromWriteEnd how) {
  reports_.clear();
  auto on_end = std::move(on_end_);
  on_end_ = nullptr;
  if (on_end) on_end(how);
}

}  // namespace kavri
