#include "base/env.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first: timeapi.h needs its types.
#include <timeapi.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>

namespace kavri {

#if defined(_WIN32)
SystemEnv::SystemEnv() : start_(std::chrono::steady_clock::now()) { timeBeginPeriod(1); }
SystemEnv::~SystemEnv() { timeEndPeriod(1); }
#else
SystemEnv::SystemEnv() : start_(std::chrono::steady_clock::now()) {}
SystemEnv::~SystemEnv() = default;
#endif

std::int64_t SystemEnv::now_ms() {
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start_).count();
}

#if defined(_WIN32)
// Short slices that look at the stop between them. The stop-notified waits of libstdc++ on
// Windows (a condition variable with a stop token, a stop callback's removal) rest on its
// atomic waits over winpthreads, which now and then miss a wake-up: the sleeper, or the thread
// joining it, would then wait for ever.
bool SystemEnv::sleep_for(Millis ms, std::stop_token stop) {
  constexpr Millis SLICE{5};
  const auto end = std::chrono::steady_clock::now() + ms;
  for (;;) {
    if (stop.stop_requested()) return false;
    const auto left = std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    std::this_thread::sleep_for(std::min(left, SLICE));
  }
}
#else
bool SystemEnv::sleep_for(Millis ms, std::stop_token stop) {
  if (!stop.stop_possible()) {
    std::this_thread::sleep_for(ms);
    return true;
  }
  // A condition variable that the stop request notifies, so a stop wakes the sleeper at once.
  // One per thread, made on its first such sleep: made at each, it would cost an allocation.
  thread_local std::mutex mutex;
  thread_local std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_for(lock, stop, ms, [] { return false; });
  return !stop.stop_requested();
}
#endif

Worker SystemEnv::start_thread(std::function<void(std::stop_token)> body) {
  return Worker(std::jthread(std::move(body)));
}

Status start_worker(Env& env, Worker& worker, std::function<void(std::stop_token)> body,
                    std::string_view what) {
  std::string reason;
  try {
    worker = env.start_thread(std::move(body));
    return done();
  } catch (const std::system_error& refused) {
    reason = refused.what();
  } catch (const std::bad_alloc&) {
    // The thread's own state could not be had: the system is out of memory.
    reason = "out of memory";
  }
  return fail("cannot start the " + std::string(what) + " thread (" + reason + ")");
}

}  // namespace kavri
