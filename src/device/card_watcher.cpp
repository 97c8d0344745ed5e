#include "device/card_watcher.h"

#include "device/bus_messages.h"

namespace kavri {

void CardWatcher::probe(bool may_read) {
  const std::int64_t now = env_.now_ms();
  if (!may_read || now < next_look_ms_) return;
  next_look_ms_ = now + CARD_WATCH_PERIOD.count();
  BusReport dropped{};
  card_.read_report(dropped, 0);
}

bool CardWatcher::look_for_card() {
  const std::int64_t now = env_.now_ms();
  if (now < next_look_ms_) return false;
  next_look_ms_ = now + CARD_WATCH_PERIOD.count();
  if (!card_.reopenable()) return false;
  std::unique_ptr<HidCard> card = hid_.open(MASTER_CARD);
  if (!card) return false;
  card_.attach(std::move(card));
  return true;
}

}  // namespace kavri
