#include "virtual/quiet_saver.h"

namespace kavri {

Result<std::unique_ptr<QuietSaver>> QuietSaver::start(Env& env, std::function<void()> save) {
  std::unique_ptr<QuietSaver> saver(new QuietSaver(env, std::move(save)));
  const auto run = [&saver = *saver](std::stop_token stop) { saver.run(std::move(stop)); };
  if (Status started = start_worker(env, saver->worker_, run, "modules file saver"); !started) {
    return fail(started.error());
  }
  return saver;
}

QuietSaver::~QuietSaver() { worker_.stop_and_join(); }

void QuietSaver::changed() {
  {
    const std::lock_guard lock(mutex_);
    pending_ = true;
    last_change_ms_ = env_.now_ms();
  }
  woken_.notify_all();
}

void QuietSaver::run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (woken_.wait(lock, stop, [this] { return pending_; })) {
    // Waits until the changes have stopped for QUIET, or the end comes.
    for (std::int64_t since = env_.now_ms() - last_change_ms_; since < QUIET.count();
         since = env_.now_ms() - last_change_ms_) {
      lock.unlock();
      const bool slept = env_.sleep_for(Millis(QUIET.count() - since), stop);
      lock.lock();
      if (!slept) break;
    }
    pending_ = false;
    lock.unlock();
    save_();
    lock.lock();
  }
  // Stopped: a change not yet saved is saved now, so that nothing written is lost.
  if (pending_) {
    pending_ = false;
    lock.unlock();
    save_();
  }
}

}  // namespace kavri
