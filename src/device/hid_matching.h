// The platform-free part of the HID backends: which enumerated interface hid_open takes, and
// how a payload read from a layer that drops the report id becomes a 9-byte report.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "device/hid.h"

namespace kavri {

struct HidInterfaceIds {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t release = 0;  // the version number
};

// True when the interface's vendor and product ids are the ones asked for and its release
// equals `version` (-1: any release).
bool interface_matches(const HidInterfaceIds& ids, std::uint16_t product_id,
                       std::uint16_t vendor_id, int version);

// The position of the index-th interface (from 0) whose vendor and product ids match and whose
// release equals `version` (-1: any release), in enumeration order; none when there are fewer.
std::optional<std::size_t> nth_matching_interface(std::span<const HidInterfaceIds> interfaces,
                                                  std::uint16_t product_id, std::uint16_t vendor_id,
                                                  int version, int index);

// Fills `report` from a read that returned `got` (bytes of payload, 0 on time-out, negative on
// failure): byte 0 is the report id 0, the payload follows (cut to fit), the rest is zero. On a
// time-out or failure the whole report is zero, so the previous report never survives.
HidReadStatus fill_input_report(std::span<std::uint8_t> report,
                                std::span<const std::uint8_t> payload, int got);

}  // namespace kavri
