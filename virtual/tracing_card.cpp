#include "virtual/tracing_card.h"

#include <cstdio>
#include <fstream>

#include "config/file_access.h"

namespace kavri {

TracingCard::TracingCard(HidCard& card, Env& env, std::unique_ptr<std::ostream> out,
                         std::function<void()> on_write_failure)
    : card_(card),
      env_(env),
      out_(std::move(out)),
      on_write_failure_(std::move(on_write_failure)) {}

std::unique_ptr<TracingCard> TracingCard::open(HidCard& card, Env& env, const std::string& path,
                                               std::function<void()> on_write_failure) {
  // Checked without blocking first: opening a FIFO for writing waits for its reader.
  if (!prepare_file_for_writing(path)) return nullptr;
  auto file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
  if (!file->is_open()) return nullptr;
  return std::make_unique<TracingCard>(card, env, std::move(file), std::move(on_write_failure));
}

TracingCard::~TracingCard() {
  std::lock_guard lock(mutex_);
  out_->flush();
}

// The write and its line under one lock: the lines of two senders stand in the order in which
// their reports reached the card, and before any answer that a report causes can be traced.
HidStatus TracingCard::write_report(std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  const HidStatus written = card_.write_report(report);
  if (written == HidStatus::ok) trace('>', report);
  return written;
}

std::optional<HidStatus> TracingCard::write_report_at_once(std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  const std::optional<HidStatus> written = card_.write_report_at_once(report);
  if (written == HidStatus::ok) trace('>', report);
  return written;
}

// The read itself runs outside the lock: it may wait for seconds, and the other threads'
// writes must not wait with it. Its line is written as soon as it returns.
HidStatus TracingCard::read_report(std::span<std::uint8_t> report, int timeout_ms) {
  const HidStatus status = card_.read_report(report, timeout_ms);
  if (status == HidStatus::ok) {
    std::lock_guard lock(mutex_);
    trace('<', report);
  }
  return status;
}

// Each line is flushed at once, so the trace is whole however the program ends (the fatal
// ends of the exploration leave without unwinding).
void TracingCard::trace(char direction, std::span<const std::uint8_t> report) {
  std::string line = std::to_string(env_.now_ms());
  line += ' ';
  line += direction;
  for (const std::uint8_t byte : report) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    line += hex;
  }
  line += '\n';
  if (failed_) return;
  *out_ << line;
  out_->flush();
  if (out_->good()) return;
  failed_ = true;
  if (on_write_failure_) on_write_failure_();
}

}  // namespace kavri
