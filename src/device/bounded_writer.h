// A card whose writes are made on a thread of its own, so that a caller waits for one at most
// a set time, whatever the platform's call does: a hidraw write to a card that has stopped
// taking reports returns only when the kernel gives up, seconds later, and neither a window
// nor the shutdown may wait that long. A write that cannot hang (write_report_at_once) is
// made on the caller's thread. Reads go to the card directly: every backend bounds them by
// their time-out. The thread starts at the first write that needs it (never, for a card whose
// writes cannot hang), through the Env.
#pragma once

#include <chrono>
#include <memory>
#include <span>
#include <string>

#include "base/env.h"
#include "device/hid.h"

namespace kavri {

class BoundedWriter {
 public:
  // Owns `card`; a write waits at most `limit` (on the real clock: it stands guard over a
  // platform call, which the Env's time cannot see). `env` starts the thread.
  BoundedWriter(Env& env, std::unique_ptr<HidCard> card, std::chrono::milliseconds limit);
  // Closes the card, at once when no write is under way. A write still under way is left to
  // end on the writer's thread, which closes the card after it; nothing here waits for it.
  ~BoundedWriter();
  BoundedWriter(const BoundedWriter&) = delete;
  BoundedWriter& operator=(const BoundedWriter&) = delete;

  // One caller at a time. timed_out when the write has not ended within the limit: it goes on
  // in the background, and until it ends every later write is refused at once with timed_out.
  // failed when the system refuses the writer's thread: the report is not sent, that is said
  // on standard error (once, until a thread starts), and the next write tries again.
  HidStatus write(std::span<const std::uint8_t> report);
  HidStatus read(std::span<std::uint8_t> report, int timeout_ms);

  // Alive as long as the writer's thread runs, even after this object is gone.
  std::weak_ptr<const void> thread_alive() const;

 private:
  struct Shared;
  static void run(std::shared_ptr<Shared> shared);

  bool thread_ready();

  Env& env_;
  std::shared_ptr<Shared> shared_;
  std::chrono::milliseconds limit_;
  Worker thread_;
  bool refusal_told_ = false;
};

}  // namespace kavri
