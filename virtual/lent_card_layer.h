// A HID layer that hands out the virtual card, owned elsewhere (by kavri-bench and the tests),
// so that the driver opens it through the same call as the USB card. Like a real one, it finds
// no card while the virtual card is unplugged, and a handle it gave out before an unplug stays
// gone after the card is plugged back in. The card must outlive everything the layer hands out.
#pragma once

#include <memory>

#include "device/hid.h"
#include "virtual/virtual_card.h"

namespace kavri {

class LentCardLayer final : public HidLayer {
 public:
  // `card` may be null: a machine with no card at all. Reports go through `path` when given
  // (a tracing card over `card`), else to `card` itself.
  explicit LentCardLayer(VirtualCard* card, HidCard* path = nullptr)
      : card_(card), path_(path != nullptr ? path : card) {}

  // A handle to the card for the first match of the card's ids, any version, while it is
  // plugged in; null otherwise.
  std::unique_ptr<HidCard> open(const HidSought& sought) override;

 private:
  VirtualCard* card_;
  HidCard* path_;
};

}  // namespace kavri
