// The platform-free part of the HID backends: which interfaces hid_open may take, how a payload
// read from a layer that drops the report id becomes a 9-byte report, and how a failed open of
// a hidraw node is told to the user.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/hid.h"

namespace kavri {

struct HidInterfaceIds {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t release = 0;  // the version number
};

// True when the interface's vendor and product ids are the ones sought and its release equals
// the sought version (ANY_RELEASE: any).
bool interface_matches(const HidInterfaceIds& ids, const HidSought& sought);

// Fills `report` from a read that returned `got` (bytes of payload, 0 on time-out, negative
// when the device is gone): byte 0 is the report id 0, the payload follows (cut to fit), the
// rest is zero. On a time-out or a removal the whole report is zero, so the previous report
// never survives.
HidStatus fill_input_report(std::span<std::uint8_t> report, std::span<const std::uint8_t> payload,
                            int got);

// Why a hidraw node could not be opened, from the errno of the attempt; a denied permission
// names the udev rule that grants it.
std::string hidraw_open_error_reason(int error_number);

}  // namespace kavri
