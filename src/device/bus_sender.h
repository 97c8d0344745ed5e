// The one path by which the driver sends bus reports. It keeps the single output report: bytes
// 1 to 3 are composed and the report written under one lock, so reports from the main,
// exploration and transfer threads never interleave, and CMD_READ_ANALOG repeats the byte 3
// of whichever command went before it.
#pragma once

#include <cstdint>
#include <mutex>

#include "device/bus_messages.h"
#include "device/hid.h"

namespace kavri {

class BusSender {
 public:
  explicit BusSender(HidCard& card) : card_(card) {}

  // Sets bytes 1 to 3 and writes the report. Commands are fire-and-forget on this bus: the
  // status tells only whether the report reached the card (gone: the card went away).
  HidStatus send(std::uint8_t code, std::uint8_t address, std::uint8_t data);

  // CMD_READ_ANALOG: sets bytes 1 and 2 only; byte 3 keeps the previous command's data.
  HidStatus send_read_analog(std::uint8_t address);

  // Zeroes the whole report and writes it: CMD_EXPLORE.
  HidStatus send_explore();

  // The report as it stands (for tests and traces).
  BusReport last_report() const;

 private:
  HidCard& card_;
  mutable std::mutex mutex_;
  BusReport report_{};
};

}  // namespace kavri
