#include "device/card_link.h"

#include <algorithm>
#include <mutex>

namespace kavri {

CardLink::CardLink(Env& env, std::unique_ptr<HidCard> card, std::chrono::milliseconds write_limit)
    : env_(env),
      write_limit_(write_limit),
      writer_(std::make_unique<BoundedWriter>(env, std::move(card), write_limit)) {}

HidStatus CardLink::noted(HidStatus status) {
  if (status != HidStatus::gone) return status;
  present_.store(false, std::memory_order_release);
  return status;
}

HidStatus CardLink::write_report(std::span<const std::uint8_t> report) {
  std::shared_lock lock(mutex_);
  if (!writer_ || !present()) return HidStatus::gone;
  const HidStatus status = writer_->write(report);
  return noted(status == HidStatus::timed_out ? HidStatus::gone : status);
}

HidStatus CardLink::read_report(std::span<std::uint8_t> report, int timeout_ms) {
  std::shared_lock lock(mutex_);
  if (!writer_ || !present()) {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    return HidStatus::gone;
  }
  return noted(writer_->read(report, timeout_ms));
}

void CardLink::close() {
  std::unique_lock lock(mutex_);
  present_.store(false, std::memory_order_release);
  if (!writer_) return;
  abandoned_writer_ = writer_->thread_alive();
  writer_.reset();
}

void CardLink::attach(std::unique_ptr<HidCard> card) {
  std::unique_lock lock(mutex_);
  writer_ = std::make_unique<BoundedWriter>(env_, std::move(card), write_limit_);
  present_.store(true, std::memory_order_release);
}

}  // namespace kavri
