// A HID layer that hands out a card owned elsewhere (the virtual card of kavri-bench and of the
// tests), so that the driver opens it through the same call as the USB card. The card must
// outlive everything the layer hands out.
#pragma once

#include <memory>

#include "device/hid.h"

namespace kavri {

class LentCardLayer final : public HidLayer {
 public:
  // `card` may be null: a machine with no card plugged in.
  explicit LentCardLayer(HidCard* card) : card_(card) {}

  // The lent card for the first match of the card's ids, any version; null otherwise.
  std::unique_ptr<HidCard> open(std::uint16_t product_id, std::uint16_t vendor_id, int version,
                                int index) override;

 private:
  HidCard* card_;
};

}  // namespace kavri
