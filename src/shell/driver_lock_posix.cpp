// A lock file under flock: the lock belongs to the open file, which the system closes when the
// process ends, killed or not. The file itself stays (removing it would race with a new holder).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "shell/driver_lock.h"

namespace kavri {
namespace {

class FileLock final : public DriverLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// The user's runtime folder is the user's alone; the shared temporary folder gets the user id
// in the name instead.
std::string lock_path(std::string_view name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/kavri-" + std::string(name) + ".lock";
  }
  return "/tmp/kavri-" + std::to_string(::getuid()) + "-" + std::string(name) + ".lock";
}

}  // namespace

std::unique_ptr<DriverLock> take_driver_lock(std::string_view name) {
  // No link followed: another user's link in the shared folder must not lead anywhere.
  const int fd = ::open(lock_path(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::make_unique<FileLock>(-1);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? nullptr : std::make_unique<FileLock>(-1);
  }
  return std::make_unique<FileLock>(fd);
}

}  // namespace kavri
