#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "server/ipc_server.h"
#include "simlink/ipc_records.h"
#include "simlink/posix_endpoint.h"

namespace kavri {
namespace {

constexpr int POLL_MS = 50;  // how soon a stop request is noticed
constexpr std::size_t MAX_NAME = 255;

struct Connection {
  int fd = -1;
  std::vector<std::uint8_t> pending;  // bytes of a frame not yet complete
};

// A name that can only designate an object of the shared-memory namespace.
bool plausible_area_name(std::string_view name) {
  for (char c : name) {
    if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return !name.empty();
}

std::uint32_t serve_area(OffsetSpace& space, std::string_view name, const WriteObserver& on_write) {
  if (!plausible_area_name(name)) return 0;
  const std::string object = "/" + std::string(name);
  const int fd = shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return 0;
  struct stat status {};
  void* map = MAP_FAILED;
  if (fstat(fd, &status) == 0 && status.st_size >= static_cast<off_t>(IPC_AREA_SIZE)) {
    map = mmap(nullptr, IPC_AREA_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  close(fd);
  if (map == MAP_FAILED) return 0;
  const std::uint32_t reply =
      carry_out_requests(space, {static_cast<std::uint8_t*>(map), IPC_AREA_SIZE}, on_write);
  munmap(map, IPC_AREA_SIZE);
  return reply;
}

struct Listener {
  int fd = -1;
  std::string path;
  std::vector<Connection> connections;

  ~Listener() {
    for (Connection& c : connections) close(c.fd);
    if (fd >= 0) {
      close(fd);
      unlink(path.c_str());
    }
  }

  // Answers every complete frame; false when the connection must be dropped.
  bool answer_frames(Connection& c, OffsetSpace& space, const WriteObserver& on_write) {
    for (;;) {
      if (c.pending.size() < 4) return true;
      const std::uint32_t length = load_le32(c.pending.data());
      if (length == 0 || length > MAX_NAME) return false;  // not this protocol
      if (c.pending.size() < 4 + length) return true;
      std::string_view name(reinterpret_cast<const char*>(c.pending.data()) + 4, length);
      std::uint8_t reply[4];
      store_le32(reply, serve_area(space, name, on_write));
      c.pending.erase(c.pending.begin(), c.pending.begin() + 4 + length);
      if (send(c.fd, reply, sizeof reply, MSG_NOSIGNAL | MSG_DONTWAIT) != sizeof reply) {
        return false;
      }
    }
  }

  // Reads what arrived; false when the peer left or the connection is unusable.
  bool receive(Connection& c, OffsetSpace& space, const WriteObserver& on_write) {
    std::uint8_t chunk[512];
    const ssize_t got = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0) return false;
    c.pending.insert(c.pending.end(), chunk, chunk + got);
    return answer_frames(c, space, on_write);
  }

  void serve(std::stop_token stop, OffsetSpace& space, const WriteObserver& on_write) {
    std::vector<pollfd> waits;
    while (!stop.stop_requested()) {
      waits.assign(1, pollfd{fd, POLLIN, 0});
      for (const Connection& c : connections) waits.push_back(pollfd{c.fd, POLLIN, 0});
      if (poll(waits.data(), waits.size(), POLL_MS) <= 0) continue;
      // Connections first: accepting may append to the vector the waits index.
      for (std::size_t i = connections.size(); i-- > 0;) {
        if (waits[i + 1].revents == 0) continue;
        if (!receive(connections[i], space, on_write)) {
          close(connections[i].fd);
          connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        }
      }
      if (waits[0].revents & POLLIN) {
        const int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) connections.push_back(Connection{client, {}});
      }
    }
  }
};

class PosixIpcServer final : public IpcServer {
 public:
  PosixIpcServer(Env& env, OffsetSpace& space, WriteObserver on_write, std::string directory)
      : env_(env),
        space_(space),
        on_write_(std::move(on_write)),
        directory_(directory.empty() ? default_ipc_directory() : std::move(directory)) {}
  ~PosixIpcServer() override { stop(); }

  bool start(IpcServerClass server_class, std::string& error) override;
  void stop() override {
    worker_.stop_and_join();
    listener_.reset();
  }

 private:
  Env& env_;
  OffsetSpace& space_;
  WriteObserver on_write_;
  std::string directory_;
  std::unique_ptr<Listener> listener_;
  Worker worker_;
};

bool PosixIpcServer::start(IpcServerClass server_class, std::string& error) {
  stop();
  const std::string& directory = directory_;
  if (!prepare_ipc_directory(directory, error)) return false;
  auto listener = std::make_unique<Listener>();
  const std::string path = ipc_socket_path(directory, server_class);
  const int live = connect_ipc_socket(path);
  if (live >= 0) {
    close(live);
    error = "a server already listens on " + path;
    return false;
  }
  unlink(path.c_str());  // left behind by a server that died

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot bind " + path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  listener->fd = fd;
  listener->path = path;
  if (listen(fd, 16) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    return false;
  }
  listener_ = std::move(listener);
  worker_ = env_.start_thread(
      [this](std::stop_token stop) { listener_->serve(stop, space_, on_write_); });
  return true;
}

}  // namespace

std::unique_ptr<IpcServer> make_platform_ipc_server(Env& env, OffsetSpace& space,
                                                    WriteObserver on_write, std::string directory) {
  return std::make_unique<PosixIpcServer>(env, space, std::move(on_write), std::move(directory));
}

}  // namespace kavri
