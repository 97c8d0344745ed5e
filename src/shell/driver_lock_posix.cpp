// A lock file under flock: the lock belongs to the open file, which the system closes when the
// process ends, killed or not. The file itself stays (removing it would race with a new holder).
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/result.h"
#include "shell/driver_lock.h"
#include "simlink/endpoint_posix.h"

namespace kavri {
namespace {

class FileLock final : public DriverLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// The user's home: $HOME, else the user database's entry.
std::string home_folder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

// The folder of the locks, this user's alone: "kavri" in the session's runtime folder, else in
// the user's cache folder (~/.cache), never a name in a shared folder that another user could
// take first. Made 0700; one that is not a real folder of this user's is refused.
Result<std::string> lock_folder() {
  std::string parent;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    parent = runtime;
  } else {
    const std::string home = home_folder();
    if (home.empty()) {
      return fail("no runtime folder (XDG_RUNTIME_DIR) and no home folder for the lock");
    }
    parent = home + "/.cache";
    if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) {
      return fail("cannot create " + parent + ": " + std::strerror(errno));
    }
  }
  std::string folder = parent + "/kavri";
  if (Status prepared = prepare_ipc_directory(folder); !prepared) return fail(prepared.error());
  return folder;
}

}  // namespace

LockAttempt take_driver_lock(std::string_view name) {
  LockAttempt attempt;
  const Result<std::string> folder = lock_folder();
  if (!folder) {
    attempt.failure = folder.error();
    return attempt;
  }
  const std::string path = *folder + "/" + std::string(name) + ".lock";
  // No link followed, nothing but a regular file of this user's taken.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    attempt.failure = "cannot open " + path + ": " + std::strerror(errno);
    return attempt;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    ::close(fd);
    attempt.failure = path + " is not a file of this user";
    return attempt;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) attempt.failure = "cannot lock " + path + ": " + std::strerror(errno);
    ::close(fd);
    return attempt;
  }
  attempt.lock = std::make_unique<FileLock>(fd);
  return attempt;
}

}  // namespace kavri
