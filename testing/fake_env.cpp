#include "testing/fake_env.h"

#include <system_error>

namespace kavri {

bool FakeEnv::sleep_for(Millis ms, std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(ms.count());
  }
  if (stop.stop_requested()) return false;
  now_ += ms.count();
  std::this_thread::yield();
  return !stop.stop_requested();
}

Worker FakeEnv::start_thread(std::function<void(std::stop_token)> body) {
  int refused = threads_started_ + 1;
  if (refused_start_.compare_exchange_strong(refused, 0)) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  ++threads_started_;
  return Worker(std::jthread(std::move(body)));
}

std::vector<std::int64_t> FakeEnv::sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

void FakeEnv::clear_sleeps() {
  std::lock_guard lock(mutex_);
  sleeps_.clear();
}

}  // namespace kavri
