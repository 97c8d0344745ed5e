// A card that writes every report it passes on to a trace file (kavri-bench --trace): one line
// per report, "<ms> > <9 bytes>" for a report written to the card and "<ms> < <9 bytes>" for
// one the driver read, bytes as two-digit upper-case hexadecimal separated by blanks.
// Thread-safe as far as the card beneath it is.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "base/env.h"
#include "device/hid.h"

namespace kavri {

class TracingCard final : public HidCard {
 public:
  // Traces into `out`, timing each line with env.now_ms(). `card` and `env` outlive this. The
  // first line that cannot be written (a full disk) calls `on_write_failure`, and tracing
  // stops there; the card goes on.
  TracingCard(HidCard& card, Env& env, std::unique_ptr<std::ostream> out,
              std::function<void()> on_write_failure = {});
  // Creates (or empties) the trace file at `path`. Null when it cannot be created or written,
  // or when something else than a regular file is there (a FIFO, a device): the trace never
  // waits for a reader.
  static std::unique_ptr<TracingCard> open(HidCard& card, Env& env, const std::string& path,
                                           std::function<void()> on_write_failure = {});
  ~TracingCard() override;

  // Only reports that reach the card, and reads that deliver a report, are traced.
  HidStatus write_report(std::span<const std::uint8_t> report) override;
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override;
  std::optional<HidStatus> write_report_at_once(std::span<const std::uint8_t> report) override;

 private:
  void trace(char direction, std::span<const std::uint8_t> report);  // with mutex_ held

  HidCard& card_;
  Env& env_;
  std::mutex mutex_;
  std::unique_ptr<std::ostream> out_;
  std::function<void()> on_write_failure_;
  bool failed_ = false;
};

}  // namespace kavri
