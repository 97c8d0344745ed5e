// The POSIX stand-in for the window message: the server listens on a Unix-domain socket named
// after its class; one exchange sends the area's name (32-bit little-endian length, then the
// bytes) and reads back one 32-bit little-endian reply. The area is a POSIX shared-memory
// object that the client creates exclusively and removes when it closes.
#include "simlink/posix_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "simlink/ipc_records.h"
#include "simlink/posix_endpoint.h"

namespace kavri {
namespace {

constexpr IpcReply NO_REPLY{false, 0, false};
constexpr IpcReply SYSTEM_ERROR{false, 0, true};

class PosixTransport final : public IpcTransport {
 public:
  explicit PosixTransport(PosixTransportOptions options)
      : directory_(options.directory.empty() ? default_ipc_directory() : options.directory) {}
  ~PosixTransport() override { close(); }

  std::uint32_t process_id() override { return static_cast<std::uint32_t>(getpid()); }

  std::optional<IpcServerClass> find_server() override {
    drop_connection();
    if (!ipc_directory_trusted(directory_)) return std::nullopt;
    for (IpcServerClass server_class : {IpcServerClass::uipcmain, IpcServerClass::fs98main}) {
      const std::string path = ipc_socket_path(directory_, server_class);
      const int fd = connect_ipc_socket(path);
      if (fd >= 0) {
        socket_ = fd;
        socket_path_ = path;
        return server_class;
      }
    }
    return std::nullopt;
  }

  bool register_message() override { return true; }  // the socket is the message

  IpcResult create_area(const std::string& name) override {
    release_area();
    const std::string object = "/" + name;
    const int fd = shm_open(object.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return IpcResult::area_failed;  // an existing object is neither used nor removed
    area_object_ = object;
    area_name_ = name;
    if (ftruncate(fd, static_cast<off_t>(IPC_AREA_SIZE)) != 0) {
      ::close(fd);
      return IpcResult::area_failed;
    }
    void* map = mmap(nullptr, IPC_AREA_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return IpcResult::view_failed;
    area_ = {static_cast<std::uint8_t*>(map), IPC_AREA_SIZE};
    return IpcResult::ok;
  }

  std::span<std::uint8_t> area() override { return area_; }

  IpcReply exchange(Millis timeout) override {
    if (socket_ < 0 && !socket_path_.empty()) socket_ = connect_ipc_socket(socket_path_);
    if (socket_ < 0) return SYSTEM_ERROR;
    std::vector<std::uint8_t> frame(4 + area_name_.size());
    store_le32(frame.data(), static_cast<std::uint32_t>(area_name_.size()));
    std::memcpy(frame.data() + 4, area_name_.data(), area_name_.size());
    if (!send_all(frame)) return broken(true);

    std::uint8_t reply[4];
    std::size_t received = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received < sizeof reply) {
      const auto left =
          std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
      pollfd wait{socket_, POLLIN, 0};
      const int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(left.count())) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return broken(true);
      // A reply arriving after the time-out would be taken for the next exchange's: the
      // connection is dropped and made anew by the next attempt.
      if (ready == 0) return broken(false);
      const ssize_t got = recv(socket_, reply + received, sizeof reply - received, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return broken(got < 0);
      received += static_cast<std::size_t>(got);
    }
    return IpcReply{true, load_le32(reply), false};
  }

  void close() override {
    drop_connection();
    socket_path_.clear();
    release_area();
  }

 private:
  bool send_all(const std::vector<std::uint8_t>& frame) {
    std::size_t sent = 0;
    while (sent < frame.size()) {
      const ssize_t n = send(socket_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  IpcReply broken(bool system_error) {
    drop_connection();
    return system_error ? SYSTEM_ERROR : NO_REPLY;
  }

  void drop_connection() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
  }

  void release_area() {
    if (!area_.empty()) munmap(area_.data(), area_.size());
    area_ = {};
    if (!area_object_.empty()) shm_unlink(area_object_.c_str());
    area_object_.clear();
    area_name_.clear();
  }

  std::string directory_;
  std::string socket_path_;  // of the server found by the last find_server
  int socket_ = -1;
  std::string area_object_;  // "/" + name of the object this transport created
  std::string area_name_;
  std::span<std::uint8_t> area_;
};

}  // namespace

std::unique_ptr<IpcTransport> make_posix_transport(PosixTransportOptions options) {
  return std::make_unique<PosixTransport>(std::move(options));
}

std::unique_ptr<IpcTransport> make_platform_transport() { return make_posix_transport(); }

}  // namespace kavri
