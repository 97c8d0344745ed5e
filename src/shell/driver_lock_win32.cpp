// A named mutex in the session's own namespace ("Local\"): it exists while a handle to it is
// open, and the system closes the handles of a process that ends, killed or not.
#include <windows.h>

#include "base/utf16_text.h"
#include "shell/driver_lock.h"

namespace kavri {
namespace {

class MutexLock final : public DriverLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<DriverLock> take_driver_lock(std::string_view name) {
  const std::wstring full = L"Local\\kavri-" + to_wide(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, full.c_str());
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<MutexLock>(mutex);
}

}  // namespace kavri
