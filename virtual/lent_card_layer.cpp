#include "virtual/lent_card_layer.h"

#include <algorithm>

namespace kavri {

namespace {

// One opening of the card. Closing the handle leaves the card to its owner.
class LentCard final : public HidCard {
 public:
  LentCard(const VirtualCard& card, HidCard& path)
      : card_(card), path_(path), unplug_count_(card.unplug_count()) {}

  HidStatus write_report(std::span<const std::uint8_t> report) override {
    if (stale()) return HidStatus::gone;
    return path_.write_report(report);
  }
  std::optional<HidStatus> write_report_at_once(std::span<const std::uint8_t> report) override {
    if (stale()) return HidStatus::gone;
    return path_.write_report_at_once(report);
  }
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    if (stale()) {
      std::fill(report.begin(), report.end(), std::uint8_t{0});
      return HidStatus::gone;
    }
    return path_.read_report(report, timeout_ms);
  }

 private:
  // Unplugged since it was opened: the handle died with the device node.
  bool stale() const { return card_.unplug_count() != unplug_count_; }

  const VirtualCard& card_;
  HidCard& path_;
  const int unplug_count_;
};

}  // namespace

std::unique_ptr<HidCard> LentCardLayer::open(const HidSought& sought) {
  // The lent card answers to any version.
  if (card_ == nullptr || card_->unplugged() || sought.product_id != CARD_PRODUCT_ID ||
      sought.vendor_id != CARD_VENDOR_ID || sought.index != 0) {
    return nullptr;
  }
  return std::make_unique<LentCard>(*card_, *path_);
}

}  // namespace kavri
