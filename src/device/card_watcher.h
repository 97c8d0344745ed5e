// The main loop's watch over the card. While it is present and no worker thread reads it, the
// card is read once a second without waiting (whatever arrives is dropped: nobody waits for
// an answer then), so that a card pulled out while nothing is sent is still noticed. While it
// is absent, it is looked for once a second and opened again as soon as it is back. Its time
// is the Env's; it never waits, so the main loop's passes drive it.
#pragma once

#include <cstdint>

#include "base/env.h"
#include "device/card_link.h"
#include "device/hid.h"

namespace kavri {

constexpr Millis CARD_WATCH_PERIOD{1000};

class CardWatcher {
 public:
  CardWatcher(Env& env, HidLayer& hid, CardLink& card) : env_(env), hid_(hid), card_(card) {}

  // Main thread, once per pass while the card is open. `may_read`: no other thread reads it
  // now. A probe that finds the card gone leaves it not present().
  void probe(bool may_read);
  // Main thread, once per pass after the lost card was closed: true on the pass that opened
  // it again.
  bool look_for_card();

 private:
  Env& env_;
  HidLayer& hid_;
  CardLink& card_;
  std::int64_t next_look_ms_ = 0;
};

}  // namespace kavri
