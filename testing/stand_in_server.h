// A socket where the simulator's server should listen, in a test's hands: it can leave its
// clients waiting in the backlog (a frozen server), or accept them and answer, or not, as the
// test likes.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "simlink/endpoint_posix.h"
#include "simlink/ipc_records.h"

namespace kavri::testing {

class StandInServer {
 public:
  // Listens as UIPCMAIN in `directory` with room for `backlog` waiting clients.
  explicit StandInServer(const std::string& directory, int backlog = 4)
      : path_(ipc_socket_path(directory, IpcServerClass::uipcmain)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(fd, backlog) == 0) {
      listener_ = fd;
    } else {
      close(fd);
    }
  }
  ~StandInServer() { close_all(); }

  bool listening() const { return listener_ >= 0; }
  // The next waiting client, accepted (on any thread); -1 once the listener is closed.
  int accept_client() { return accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC); }

  // Connects to `path` until the backlog refuses any more, as clients of a frozen server do;
  // the connections stay open until close_all. True when the backlog is full.
  static bool fill_backlog(const std::string& path, std::vector<int>& held) {
    for (int i = 0; i < 1000; ++i) {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const bool full = errno == EAGAIN;
        close(fd);
        return full;
      }
      held.push_back(fd);
    }
    return false;
  }
  bool fill_backlog() { return fill_backlog(path_, held_); }

  // Closes the listener and every connection made to fill it: a client still waiting for room
  // in the backlog is refused at once.
  void close_all() {
    for (int fd : held_) close(fd);
    held_.clear();
    const int fd = listener_.exchange(-1);
    if (fd >= 0) {
      shutdown(fd, SHUT_RDWR);
      close(fd);
      unlink(path_.c_str());
    }
  }

 private:
  std::string path_;
  std::atomic<int> listener_{-1};  // read by the test's serving thread, closed by the test
  std::vector<int> held_;
};

}  // namespace kavri::testing
