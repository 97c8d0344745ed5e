// A card that writes every report it passes on to a trace file (kavri-bench --trace): one line
// per report, "<ms> > <9 bytes>" for a report written to the card and "<ms> < <9 bytes>" for
// one the driver read, bytes as two-digit upper-case hexadecimal separated by blanks.
// Thread-safe as far as the card beneath it is.
#pragma once

#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "base/env.h"
#include "device/hid.h"

namespace kavri {

class TracingCard final : public HidCard {
 public:
  // Traces into `out`, timing each line with env.now_ms(). `card` and `env` outlive this.
  TracingCard(HidCard& card, Env& env, std::unique_ptr<std::ostream> out);
  // Creates (or empties) the trace file at `path`; null when it cannot be created.
  static std::unique_ptr<TracingCard> open(HidCard& card, Env& env, const std::string& path);
  ~TracingCard() override;

  // Only reports that reach the card, and reads that deliver a report, are traced.
  HidStatus write_report(std::span<const std::uint8_t> report) override;
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override;

 private:
  void trace(char direction, std::span<const std::uint8_t> report);  // with mutex_ held

  HidCard& card_;
  Env& env_;
  std::mutex mutex_;
  std::unique_ptr<std::ostream> out_;
};

}  // namespace kavri
