#include "simlink/endpoint_posix.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace kavri {

std::string default_ipc_directory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat status {};
  if (runtime != nullptr && *runtime != '\0' && stat(runtime, &status) == 0 &&
      S_ISDIR(status.st_mode)) {
    return std::string(runtime) + "/kavri";
  }
  return "/tmp/kavri-" + std::to_string(getuid());
}

std::string ipc_socket_path(const std::string& directory, IpcServerClass server_class) {
  return directory + "/" + std::string(server_class_name(server_class));
}

namespace {

// The directory's mode bits when it is a real directory (not a link) owned by this user.
std::optional<mode_t> own_directory_mode(const std::string& directory) {
  struct stat status {};
  if (lstat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != geteuid()) {
    return std::nullopt;
  }
  return status.st_mode & 07777;
}

bool served_by_this_user(int fd) {
  ucred peer{};
  socklen_t length = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == geteuid();
}

}  // namespace

bool ipc_directory_trusted(const std::string& directory) {
  const std::optional<mode_t> mode = own_directory_mode(directory);
  return mode && (*mode & 077) == 0;
}

int connect_ipc_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // Non-blocking, a local connect completes at once or fails (EAGAIN: backlog full).
  int error = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = errno == EINPROGRESS ? EAGAIN : errno;
  } else if (!served_by_this_user(fd)) {
    error = EACCES;
  } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = errno;
  }
  if (error != 0) {
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

Status prepare_ipc_directory(const std::string& directory) {
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    return fail("cannot create " + directory + ": " + std::strerror(errno));
  }
  if (!own_directory_mode(directory)) return fail(directory + " is not a directory of this user");
  if (chmod(directory.c_str(), 0700) != 0) {
    return fail("cannot restrict " + directory + ": " + std::strerror(errno));
  }
  return done();
}

}  // namespace kavri
