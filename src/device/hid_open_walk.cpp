#include "device/hid_open_walk.h"

#include <algorithm>

namespace kavri {

HidWalkResult open_nth_matching(HidInterfaceList& list, std::uint16_t product_id,
                                std::uint16_t vendor_id, int version, int index) {
  HidWalkResult result;
  if (index < 0) return result;
  const auto matches = [&](const HidInterfaceIds& ids) {
    return interface_matches(ids, product_id, vendor_id, version);
  };
  int matched = 0;
  const std::size_t examined = std::min(list.size(), MAX_HID_INTERFACES);
  for (std::size_t i = 0; i < examined; ++i) {
    const std::optional<HidInterfaceIds> listed = list.listed_ids(i);
    if (listed && !matches(*listed)) continue;
    HidOpenAttempt attempt = list.open(i);
    if (!attempt.card) {
      // An interface of unknown ids that will not open is most likely someone else's device.
      if (listed) result.failures.push_back({list.path(i), std::move(attempt.failure)});
      continue;
    }
    const std::optional<HidInterfaceIds> ids = listed ? listed : attempt.ids;
    if (!ids || !matches(*ids)) continue;  // attempt.card closes here
    if (matched++ == index) {
      result.card = std::move(attempt.card);
      return result;
    }
  }
  return result;
}

std::unique_ptr<HidCard> ListedHidLayer::open(std::uint16_t product_id, std::uint16_t vendor_id,
                                              int version, int index) {
  failures_.clear();
  std::unique_ptr<HidInterfaceList> list = enumerate_(product_id, vendor_id);
  if (!list) return nullptr;
  HidWalkResult result = open_nth_matching(*list, product_id, vendor_id, version, index);
  failures_ = std::move(result.failures);
  return std::move(result.card);
}

}  // namespace kavri
