#include "simlink/posix_endpoint.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

bool ipc_directory_trusted(const std::string& directory) {
  struct stat status {};
  return lstat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == geteuid();
}

int connect_ipc_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool prepare_ipc_directory(const std::string& directory, std::string& error) {
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + directory + ": " + std::strerror(errno);
    return false;
  }
  if (!ipc_directory_trusted(directory)) {
    error = directory + " is not a directory of this user";
    return false;
  }
  if (chmod(directory.c_str(), 0700) != 0) {
    error = "cannot restrict " + directory + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace kavri
