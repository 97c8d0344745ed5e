#include "relay/refusal_notes.h"

namespace kavri {

namespace {
constexpr std::int64_t TELL_INTERVAL_MS = 1000;
}  // namespace

void RefusalNotes::refused(const std::string& why) {
  std::lock_guard lock(mutex_);
  ++untold_;
  const std::int64_t now = env_.now_ms();
  if (told_ && now - last_told_ms_ < TELL_INTERVAL_MS) return;
  const std::string count =
      untold_ > 1 ? " (" + std::to_string(untold_) + " connections closed since the last note)"
                  : "";
  tell_("closed " + why + count);
  told_ = true;
  last_told_ms_ = now;
  untold_ = 0;
}

}  // namespace kavri
