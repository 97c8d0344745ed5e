#include "device/hid_open_walk.h"

#include <algorithm>

namespace kavri {

HidWalkResult open_nth_matching(HidInterfaceList& list, const HidSought& sought) {
  HidWalkResult result;
  if (sought.index < 0) return result;
  const auto matches = [&](const HidInterfaceIds& ids) { return interface_matches(ids, sought); };
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
    if (matched++ == sought.index) {
      result.card = std::move(attempt.card);
      return result;
    }
  }
  return result;
}

std::unique_ptr<HidCard> ListedHidLayer::open(const HidSought& sought) {
  failures_.clear();
  std::unique_ptr<HidInterfaceList> list = enumerate_(sought);
  if (!list) return nullptr;
  HidWalkResult result = open_nth_matching(*list, sought);
  failures_ = std::move(result.failures);
  return std::move(result.card);
}

}  // namespace kavri
