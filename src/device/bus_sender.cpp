#include "device/bus_sender.h"

namespace kavri {

HidStatus BusSender::send(std::uint8_t code, std::uint8_t address, std::uint8_t data) {
  std::lock_guard lock(mutex_);
  report_[1] = code;
  report_[2] = address;
  report_[3] = data;
  return card_.write_report(report_);
}

HidStatus BusSender::send_read_analog(std::uint8_t address) {
  std::lock_guard lock(mutex_);
  report_[1] = CMD_READ_ANALOG;
  report_[2] = address;
  return card_.write_report(report_);
}

HidStatus BusSender::send_explore() {
  std::lock_guard lock(mutex_);
  report_.fill(0);
  return card_.write_report(report_);
}

BusReport BusSender::last_report() const {
  std::lock_guard lock(mutex_);
  return report_;
}

}  // namespace kavri
