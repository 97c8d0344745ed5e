// The platform's clock, sleeps and threads behind one interface, so that every wait of the
// driver can run on virtual time in tests (FakeEnv) and on the real clock otherwise (SystemEnv).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "base/result.h"

namespace kavri {

using Millis = std::chrono::milliseconds;

// A worker thread with a cooperative stop. Destroying it requests the stop and joins, so no
// thread is ever killed in the middle of a step.
class Worker {
 public:
  Worker() = default;
  explicit Worker(std::jthread thread) : thread_(std::move(thread)) {}
  Worker(Worker&&) = default;
  Worker& operator=(Worker&&) = default;
  ~Worker() = default;  // std::jthread: request_stop() then join()

  // True while the thread has been started and not yet joined.
  bool joinable() const { return thread_.joinable(); }
  void request_stop() { thread_.request_stop(); }
  // Requests the stop and waits until the thread has ended.
  void stop_and_join() {
    if (thread_.joinable()) {
      thread_.request_stop();
      thread_.join();
    }
  }
  // Lets the thread run on by itself (one blocked in a call that may never return, which the
  // program must not wait for); it must own everything it uses.
  void detach() {
    if (thread_.joinable()) thread_.detach();
  }

 private:
  std::jthread thread_;
};

class Env {
 public:
  virtual ~Env() = default;

  // Milliseconds since this Env was created; monotonic.
  virtual std::int64_t now_ms() = 0;

  // Waits `ms`, or less when `stop` is requested meanwhile. Returns false when it returned
  // early because of the stop request, true when the whole time passed. Thread-safe.
  virtual bool sleep_for(Millis ms, std::stop_token stop) = 0;
  bool sleep_for(Millis ms) { return sleep_for(ms, std::stop_token{}); }

  // Starts `body` on a new thread; the token passed to it is stopped by Worker::request_stop.
  // Throws std::system_error (or std::bad_alloc) when the system refuses a thread. Programs
  // start their threads through start_worker below, never by this call.
  virtual Worker start_thread(std::function<void(std::stop_token)> body) = 0;
};

// The one way the programs start a thread. Starts `body` on a new thread of `env` into
// `worker`, unless the system refuses one (out of threads, processes or memory): then nothing
// starts, `worker` is left as it was, and the failure says "cannot start the WHAT thread
// (REASON)". A refusal never ends the program: the caller says so, and tries again later or
// ends cleanly.
Status start_worker(Env& env, Worker& worker, std::function<void(std::stop_token)> body,
                    std::string_view what);

// The real clock and real threads.
// On Windows it raises the system timer to a 1 ms resolution while it exists, so that the
// driver's 3 and 5 ms sleeps last about that long instead of a whole 15.6 ms tick.
class SystemEnv final : public Env {
 public:
  SystemEnv();
  ~SystemEnv() override;
  SystemEnv(const SystemEnv&) = delete;
  SystemEnv& operator=(const SystemEnv&) = delete;
  std::int64_t now_ms() override;
  using Env::sleep_for;  // keeps the overload without a stop token visible
  bool sleep_for(Millis ms, std::stop_token stop) override;
  Worker start_thread(std::function<void(std::stop_token)> body) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace kavri
