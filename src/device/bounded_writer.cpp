#include "device/bounded_writer.h"

#include <condition_variable>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <vector>

namespace kavri {

// What the caller and the writer's thread share; it outlives the BoundedWriter while a write
// left behind still runs.
struct BoundedWriter::Shared {
  explicit Shared(std::unique_ptr<HidCard> c) : card(std::move(c)) {}
  std::unique_ptr<HidCard> card;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint8_t> report;
  bool pending = false;  // a report waits for the thread
  bool busy = false;     // the thread is writing
  bool quit = false;
  std::uint64_t writes_ended = 0;
  HidStatus status = HidStatus::ok;  // of the last write ended
};

BoundedWriter::BoundedWriter(Env& env, std::unique_ptr<HidCard> card,
                             std::chrono::milliseconds limit)
    : env_(env), shared_(std::make_shared<Shared>(std::move(card))), limit_(limit) {}

BoundedWriter::~BoundedWriter() {
  bool left_behind = false;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->quit = true;
    left_behind = shared_->busy;
    shared_->changed.notify_all();
  }
  if (left_behind) {
    thread_.detach();
  } else {
    thread_.stop_and_join();
  }
}

bool BoundedWriter::thread_ready() {
  if (thread_.joinable()) return true;
  const Status started = start_worker(
      env_, thread_, [shared = shared_](std::stop_token) { run(shared); }, "card writer");
  if (started) {
    refusal_told_ = false;
    return true;
  }
  if (!refusal_told_) std::cerr << "kavri: " << started.error() << "; the report is not sent\n";
  refusal_told_ = true;
  return false;
}

void BoundedWriter::run(std::shared_ptr<Shared> shared) {
  Shared& s = *shared;
  std::unique_lock lock(s.mutex);
  std::vector<std::uint8_t> report;  // keeps its storage from one write to the next
  for (;;) {
    s.changed.wait(lock, [&s] { return s.pending || s.quit; });
    if (!s.pending) return;
    report.assign(s.report.begin(), s.report.end());
    s.pending = false;
    s.busy = true;
    lock.unlock();
    const HidStatus status = s.card->write_report(report);
    lock.lock();
    s.busy = false;
    s.status = status;
    ++s.writes_ended;
    s.changed.notify_all();
    if (s.quit) return;
  }
}

HidStatus BoundedWriter::write(std::span<const std::uint8_t> report) {
  Shared& s = *shared_;
  std::unique_lock lock(s.mutex);
  if (s.pending || s.busy) return HidStatus::timed_out;  // the last write is still stuck
  // A write that cannot hang needs no guard: the hand-over to the thread and back would cost
  // two wake-ups per report, and the analog requests alone send one per module and pass.
  if (const auto written = s.card->write_report_at_once(report)) return *written;
  if (!thread_ready()) return HidStatus::failed;
  s.report.assign(report.begin(), report.end());
  s.pending = true;
  const std::uint64_t mine = s.writes_ended + 1;
  s.changed.notify_all();
  if (!s.changed.wait_for(lock, limit_, [&] { return s.writes_ended >= mine; })) {
    return HidStatus::timed_out;
  }
  return s.status;
}

HidStatus BoundedWriter::read(std::span<std::uint8_t> report, int timeout_ms) {
  return shared_->card->read_report(report, timeout_ms);
}

std::weak_ptr<const void> BoundedWriter::thread_alive() const { return shared_; }

}  // namespace kavri
