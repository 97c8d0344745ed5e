#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "server/connection_posix.h"
#include "server/ipc_server.h"
#include "simlink/endpoint_posix.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr int POLL_MS = 50;  // how soon a stop request is noticed
// Each connection holds a thread, a descriptor and a mapping; past this many, a new client
// takes the place of the connection gone the longest without a request carried out, if longer
// than a client's attempt, or waits in the listener's backlog until one leaves.
constexpr std::size_t MAX_CONNECTIONS = 64;
// How long the listener rests after an accept failed for want of descriptors or memory, or
// found no room: the waiting connection keeps the listener readable, and polling it again at
// once would spin.
constexpr auto ACCEPT_PAUSE = std::chrono::milliseconds(100);

struct Listener {
  Listener(Env& env_in, OffsetSpace& space_in, const WriteObserver& on_write_in)
      : env(env_in), space(space_in), on_write(on_write_in) {}

  Env& env;
  OffsetSpace& space;
  const WriteObserver& on_write;
  int fd = -1;
  std::string path;
  std::vector<std::unique_ptr<PosixConnection>> connections;
  std::chrono::steady_clock::time_point accept_paused_until{};
  bool refusal_told = false;  // since the last connection served

  ~Listener() {
    connections.clear();
    if (fd >= 0) {
      close(fd);
      unlink(path.c_str());
    }
  }

  void accept_one() {
    const int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) {
      auto connection = std::make_unique<PosixConnection>(client, space, on_write);
      const Status started = connection->start(env);
      if (started) {
        connections.push_back(std::move(connection));
        refusal_told = false;
        return;
      }
      // No thread to serve it (the system is out of threads or memory): the client is
      // dropped, as a server that cannot accept would, and the others go on being served.
      if (!refusal_told)
        std::cerr << "kavri link server: " << started.error() << "; a client is turned away\n";
      refusal_told = true;
      accept_paused_until = std::chrono::steady_clock::now() + ACCEPT_PAUSE;
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      accept_paused_until = std::chrono::steady_clock::now() + ACCEPT_PAUSE;
    }
  }

  // Drops the connection gone the longest without a request carried out, when that is longer
  // than a client's attempt: idle connections, or busy ones whose requests all fail, however
  // many, never keep a new client out for ever, while one that is being served keeps its place.
  bool make_room() {
    const auto longest_unserved =
        std::ranges::min_element(connections, {}, [](const auto& c) { return c->served_since(); });
    if (longest_unserved == connections.end() ||
        std::chrono::steady_clock::now() - (*longest_unserved)->served_since() <
            IPC_ATTEMPT_BOUND) {
      return false;
    }
    connections.erase(longest_unserved);
    return true;
  }

  void serve(std::stop_token stop) {
    while (!stop.stop_requested()) {
      std::erase_if(connections, [](const auto& c) { return c->ended(); });
      pollfd wait{std::chrono::steady_clock::now() >= accept_paused_until ? fd : -1, POLLIN, 0};
      if (poll(&wait, 1, POLL_MS) <= 0 || (wait.revents & POLLIN) == 0) continue;
      if (connections.size() < MAX_CONNECTIONS || make_room()) {
        accept_one();
      } else {
        accept_paused_until = std::chrono::steady_clock::now() + ACCEPT_PAUSE;
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

  Status start(IpcServerClass server_class) override;
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

Status PosixIpcServer::start(IpcServerClass server_class) {
  stop();
  const std::string& directory = directory_;
  if (Status prepared = prepare_ipc_directory(directory); !prepared) return prepared;
  auto listener = std::make_unique<Listener>(env_, space_, on_write_);
  const std::string path = ipc_socket_path(directory, server_class);
  const int live = connect_ipc_socket(path);
  if (live >= 0) {
    close(live);
    return fail("a server already listens on " + path);
  }
  unlink(path.c_str());  // left behind by a server that died

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    return fail("socket path too long: " + path);
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    Failure failure = fail("cannot bind " + path + ": " + std::strerror(errno));
    if (fd >= 0) close(fd);
    return failure;
  }
  listener->fd = fd;
  listener->path = path;
  if (listen(fd, 16) != 0) {
    return fail("cannot listen on " + path + ": " + std::strerror(errno));
  }
  listener_ = std::move(listener);
  Status started = start_worker(
      env_, worker_, [this](std::stop_token stop) { listener_->serve(stop); }, "link server");
  // Refused: the socket goes, so that no client waits on a server that never answers.
  if (!started) listener_.reset();
  return started;
}

}  // namespace

std::unique_ptr<IpcServer> make_platform_ipc_server(Env& env, OffsetSpace& space,
                                                    WriteObserver on_write, std::string directory) {
  return std::make_unique<PosixIpcServer>(env, space, std::move(on_write), std::move(directory));
}

}  // namespace kavri
