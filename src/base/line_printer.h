// Lines for an output that may block, such as a pipe nobody reads: adding one never waits on
// the output. A thread of its own writes them in order; a line that finds the queue full is
// dropped and counted, so a slow reader loses lines but never holds the caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "base/env.h"
#include "base/result.h"

namespace kavri {

class LinePrinter {
 public:
  // A printer to `out`, which must stay open for the program's life, with at most `capacity`
  // lines waiting at any time. Fails when the system refuses its thread.
  static Result<std::unique_ptr<LinePrinter>> start(Env& env, std::FILE* out, std::size_t capacity);
  LinePrinter(const LinePrinter&) = delete;
  LinePrinter& operator=(const LinePrinter&) = delete;
  ~LinePrinter();  // finishes, waiting at most a second; a writer still blocked is left behind

  // Queues `line` (a newline is added); any thread; never waits on the output.
  void add(std::string line);
  // Lines dropped so far because the queue was full.
  std::uint64_t dropped() const;
  // Stops taking lines and waits up to `limit` for the queued ones to be written. False when
  // the output still blocks: the writing thread is then left behind, blocked, and the program
  // must end without waiting for it (std::_Exit), since its stream stays locked.
  bool finish(Millis limit);

 private:
  struct Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    std::uint64_t dropped = 0;
    bool closing = false;
    bool writing = false;  // a line is out of the queue but not yet written
  };
  explicit LinePrinter(std::size_t capacity) : capacity_(capacity) {}
  static void write_lines(std::shared_ptr<Queue> queue, std::FILE* out);

  std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();  // shared with the writing thread
  std::size_t capacity_;
  Worker writer_;
};

}  // namespace kavri
