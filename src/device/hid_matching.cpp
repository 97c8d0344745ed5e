#include "device/hid_matching.h"

#include <algorithm>

namespace kavri {

bool interface_matches(const HidInterfaceIds& ids, std::uint16_t product_id,
                       std::uint16_t vendor_id, int version) {
  const bool ids_match = ids.vendor_id == vendor_id && ids.product_id == product_id;
  return ids_match && (version == -1 || ids.release == version);
}

std::optional<std::size_t> nth_matching_interface(std::span<const HidInterfaceIds> interfaces,
                                                  std::uint16_t product_id, std::uint16_t vendor_id,
                                                  int version, int index) {
  if (index < 0) return std::nullopt;
  int matches = 0;
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    if (!interface_matches(interfaces[i], product_id, vendor_id, version)) continue;
    if (matches == index) return i;
    ++matches;
  }
  return std::nullopt;
}

HidReadStatus fill_input_report(std::span<std::uint8_t> report,
                                std::span<const std::uint8_t> payload, int got) {
  std::fill(report.begin(), report.end(), std::uint8_t{0});
  if (got < 0) return HidReadStatus::failed;
  if (got == 0) return HidReadStatus::timed_out;
  if (report.empty()) return HidReadStatus::ok;
  const std::size_t delivered = std::min(static_cast<std::size_t>(got), payload.size());
  std::copy_n(payload.begin(), std::min(delivered, report.size() - 1), report.begin() + 1);
  return HidReadStatus::ok;
}

}  // namespace kavri
