// One driver per card and user: two drivers on one card would both explore its bus and fight
// over every report. The lock is the operating system's and dies with the process that holds
// it, however that process ends, so a crashed driver never keeps the next one out. One
// implementation per platform: a lock file under flock on POSIX, in a folder of the user's
// own, a named mutex of the user's session on Windows.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kavri {

// Held until destroyed (or the process ends).
class DriverLock {
 public:
  virtual ~DriverLock() = default;
};

// What taking a lock gave: the lock; or nothing and no failure when another holder has it
// (this process included); or nothing and the reason in `failure` when the system would not
// let it be taken (its folder is not the user's own, something planted at its place): the
// driver then ends, as it does when another holds the lock, and never runs unguarded.
struct LockAttempt {
  std::unique_ptr<DriverLock> lock;
  std::string failure;
};

// The lock `name` (letters, digits and "-").
LockAttempt take_driver_lock(std::string_view name);

// The lock of the real card, which the driver finds by its ids alone.
std::string card_lock_name();
// The lock of a virtual bench whose modules (their EEPROM) live in the file at `path`.
std::string bench_lock_name(const std::string& path);

}  // namespace kavri
