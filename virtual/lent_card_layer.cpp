#include "virtual/lent_card_layer.h"

namespace kavri {

namespace {

// Closing the handle leaves the lent card to its owner.
class LentCard final : public HidCard {
 public:
  explicit LentCard(HidCard& card) : card_(card) {}
  int write_report(std::span<const std::uint8_t> report) override {
    return card_.write_report(report);
  }
  HidReadStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    return card_.read_report(report, timeout_ms);
  }

 private:
  HidCard& card_;
};

}  // namespace

std::unique_ptr<HidCard> LentCardLayer::open(std::uint16_t product_id, std::uint16_t vendor_id,
                                             int version, int index) {
  (void)version;  // the lent card answers to any version
  if (card_ == nullptr || product_id != CARD_PRODUCT_ID || vendor_id != CARD_VENDOR_ID ||
      index != 0) {
    return nullptr;
  }
  return std::make_unique<LentCard>(*card_);
}

}  // namespace kavri
