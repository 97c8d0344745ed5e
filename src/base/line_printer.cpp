#include "base/line_printer.h"

#include <utility>

namespace kavri {

Result<std::unique_ptr<LinePrinter>> LinePrinter::start(Env& env, std::FILE* out,
                                                        std::size_t capacity) {
  std::unique_ptr<LinePrinter> printer(new LinePrinter(capacity));
  // The thread owns the queue with the printer, so that one blocked in a write for good can be
  // left behind without holding the program's end.
  const auto write = [queue = printer->queue_, out](std::stop_token) { write_lines(queue, out); };
  if (Status started = start_worker(env, printer->writer_, write, "line printer"); !started) {
    return fail(started.error());
  }
  return printer;
}

LinePrinter::~LinePrinter() {
  if (finish(Millis(1000))) {
    writer_.stop_and_join();
  } else {
    writer_.detach();
  }
}

void LinePrinter::add(std::string line) {
  {
    const std::lock_guard lock(queue_->mutex);
    if (queue_->closing) return;
    if (queue_->lines.size() >= capacity_) {
      ++queue_->dropped;
      return;
    }
    queue_->lines.push_back(std::move(line));
  }
  queue_->changed.notify_all();
}

std::uint64_t LinePrinter::dropped() const {
  const std::lock_guard lock(queue_->mutex);
  return queue_->dropped;
}

bool LinePrinter::finish(Millis limit) {
  std::unique_lock lock(queue_->mutex);
  queue_->closing = true;
  queue_->changed.notify_all();
  return queue_->changed.wait_for(lock, limit,
                                  [this] { return queue_->lines.empty() && !queue_->writing; });
}

void LinePrinter::write_lines(std::shared_ptr<Queue> queue, std::FILE* out) {
  std::unique_lock lock(queue->mutex);
  for (;;) {
    queue->changed.wait(lock, [&queue] { return queue->closing || !queue->lines.empty(); });
    if (queue->lines.empty()) return;  // closing, and everything written
    std::string line = std::move(queue->lines.front());
    queue->lines.pop_front();
    queue->writing = true;
    const bool last = queue->lines.empty();
    lock.unlock();
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
    if (last) std::fflush(out);  // a reader sees each burst of lines without delay
    lock.lock();
    queue->writing = false;
    queue->changed.notify_all();
  }
}

}  // namespace kavri
