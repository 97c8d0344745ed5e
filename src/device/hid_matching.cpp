#include "device/hid_matching.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kavri {

bool interface_matches(const HidInterfaceIds& ids, const HidSought& sought) {
  const bool ids_match = ids.vendor_id == sought.vendor_id && ids.product_id == sought.product_id;
  return ids_match && (sought.version == ANY_RELEASE || ids.release == sought.version);
}

HidStatus fill_input_report(std::span<std::uint8_t> report, std::span<const std::uint8_t> payload,
                            int got) {
  std::fill(report.begin(), report.end(), std::uint8_t{0});
  if (got < 0) return HidStatus::gone;
  if (got == 0) return HidStatus::timed_out;
  if (report.empty()) return HidStatus::ok;
  const std::size_t delivered = std::min(static_cast<std::size_t>(got), payload.size());
  std::copy_n(payload.begin(), std::min(delivered, report.size() - 1), report.begin() + 1);
  return HidStatus::ok;
}

std::string hidraw_open_error_reason(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM:
      return "permission denied; install the udev rule /etc/udev/rules.d/70-kavri.rules, "
             "then unplug the card and plug it back in";
    case EBUSY:
      return "in use by another program";
    default:
      return std::strerror(error_number);
  }
}

}  // namespace kavri
