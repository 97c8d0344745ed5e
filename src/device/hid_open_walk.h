// How hid_open finds the card, apart from the platform: the walk over the HID interfaces that
// a platform enumerates, and a HID layer built on it. A backend supplies the list (hidraw
// nodes, device-setup interfaces); the walk decides which one becomes the card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid.h"
#include "device/hid_matching.h"

namespace kavri {

// At most this many interfaces are examined; those past it are never looked at.
constexpr std::size_t MAX_HID_INTERFACES = 256;

// One attempt to open a listed interface.
struct HidOpenAttempt {
  std::unique_ptr<HidCard> card;  // null when it could not be opened
  // Read from the opened interface, for a list that cannot tell them beforehand.
  std::optional<HidInterfaceIds> ids;
  std::string failure;  // why it could not be opened
};

// The HID interfaces present, in the platform's enumeration order.
class HidInterfaceList {
 public:
  virtual ~HidInterfaceList() = default;
  virtual std::size_t size() const = 0;
  virtual std::string path(std::size_t i) const = 0;
  // The ids the enumeration gives without opening the interface; none when the platform tells
  // them only once it is open (the device-setup API).
  virtual std::optional<HidInterfaceIds> listed_ids(std::size_t i) const = 0;
  virtual HidOpenAttempt open(std::size_t i) = 0;
};

struct HidWalkResult {
  std::unique_ptr<HidCard> card;  // null when none was opened
  std::vector<HidOpenFailure> failures;
};

// The sought.index-th interface (from 0), in list order, that opens and whose ids match. An
// interface listed with other ids is never opened; one that fails to open is skipped (and noted
// when its listed ids matched) and the next one tried; every interface opened and not chosen is
// closed again.
HidWalkResult open_nth_matching(HidInterfaceList& list, const HidSought& sought);

// A HID layer whose every open() walks a fresh list from `enumerate` (given the ids sought).
class ListedHidLayer final : public HidLayer {
 public:
  using Enumerate = std::function<std::unique_ptr<HidInterfaceList>(const HidSought& sought)>;
  explicit ListedHidLayer(Enumerate enumerate) : enumerate_(std::move(enumerate)) {}

  std::unique_ptr<HidCard> open(const HidSought& sought) override;
  std::vector<HidOpenFailure> open_failures() const override { return failures_; }

 private:
  Enumerate enumerate_;
  std::vector<HidOpenFailure> failures_;
};

}  // namespace kavri
