// The master card as the driver's threads share it across unplugs: one HidCard that forwards
// to the card open now, bounds every write in time, and remembers that the card went away as
// soon as a write or read says so (a write the card does not take within CARD_WRITE_LIMIT
// counts as gone: nothing more can pass while it hangs). From then on every write and read
// fails at once, without reaching any card, until the main thread attaches the card again.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <shared_mutex>

#include "device/bounded_writer.h"
#include "device/hid.h"

namespace kavri {

constexpr std::chrono::milliseconds CARD_WRITE_LIMIT{1000};

class CardLink final : public HidCard {
 public:
  // `env` starts the thread that bounds the writes.
  CardLink(Env& env, std::unique_ptr<HidCard> card,
           std::chrono::milliseconds write_limit = CARD_WRITE_LIMIT);

  // Any thread. While the card is absent: gone at once.
  HidStatus write_report(std::span<const std::uint8_t> report) override;
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override;

  // Any thread: false from the first sign that the card went away until attach().
  bool present() const { return present_.load(std::memory_order_acquire); }

  // Lets the card go (present() is false from then on). Main thread, once no other thread
  // needs the card: a write or read still under way is waited for (a write at most
  // the limit), and a write still hanging in the card is left to end on its own.
  void close();
  // False while a write left hanging in a closed card has not ended: opening the card again
  // then could only hang one more.
  bool reopenable() const { return abandoned_writer_.expired(); }
  // Main thread, after close(): the card opened again.
  void attach(std::unique_ptr<HidCard> card);

 private:
  HidStatus noted(HidStatus status);

  Env& env_;
  const std::chrono::milliseconds write_limit_;
  // Shared by each write and read, exclusive while the card is closed or attached.
  mutable std::shared_mutex mutex_;
  std::unique_ptr<BoundedWriter> writer_;  // null once closed
  std::atomic<bool> present_{true};
  std::weak_ptr<const void> abandoned_writer_;
};

}  // namespace kavri
