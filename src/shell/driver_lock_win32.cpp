// A named mutex in the session's own namespace ("Local\"): it exists while a handle to it is
// open, and the system closes the handles of a process that ends, killed or not.
#include <windows.h>

#include <string>

#include "base/utf16_text.h"
#include "shell/driver_lock.h"

namespace kavri {
namespace {

class MutexLock final : public DriverLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override { CloseHandle(mutex_); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

LockAttempt take_driver_lock(std::string_view name) {
  LockAttempt attempt;
  const std::wstring full = L"Local\\kavri-" + to_wide(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, full.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    // Access denied: an object of that name that this user may not open, which no driver of
    // this user's made; never taken as a lock that is free.
    attempt.failure = "cannot create the mutex kavri-" + std::string(name) + " (error " +
                      std::to_string(error) + ")";
    return attempt;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return attempt;
  }
  attempt.lock = std::make_unique<MutexLock>(mutex);
  return attempt;
}

}  // namespace kavri
