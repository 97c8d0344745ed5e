// The POSIX stand-in for the window message: the server listens on a Unix-domain socket named
// after its class; the client keeps one connection and, for each exchange, copies its block
// into the area, sends a numbered request and waits for the reply of that number
// (simlink/ipc_frames.h), then copies the block back. The area is a POSIX shared-memory
// object that the client creates exclusively and removes when it closes (simlink/area_posix.h).
#include "simlink/transport_posix.h"

#include <sched.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stop_token>
#include <vector>

#include "simlink/area_posix.h"
#include "simlink/endpoint_posix.h"
#include "simlink/ipc_frames.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr IpcReply NO_REPLY{false, 0, false};
constexpr IpcReply SYSTEM_ERROR{false, 0, true};
// How far the socket's own time-out may run past the exchange's deadline before it is set
// again: setting it costs a system call, so it is set only when that matters.
constexpr Millis TIMEOUT_SLACK{10};

// The server usually answers within microseconds: asking again without sleeping for this long
// spares the wake-up of a sleeping thread, an exchange's largest cost on a virtual machine.
// Between two asks the processor is yielded, in case the server's thread waits for this one.
constexpr std::chrono::microseconds REPLY_SPIN{30};

using Clock = std::chrono::steady_clock;

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
    block_.clear();
    if (!frame_.set_name(name)) return IpcResult::area_failed;
    const IpcResult created = area_.create(name);
    if (created != IpcResult::ok) return created;
    block_.assign(IPC_AREA_SIZE, 0);
    return IpcResult::ok;
  }

  std::span<std::uint8_t> area() override { return block_; }

  IpcReply exchange(std::size_t used, Millis timeout, std::stop_token stop) override {
    if (used < 4 || used > block_.size() || !area_.store({block_.data(), used})) {
      return SYSTEM_ERROR;
    }
    if (socket_ < 0 && !socket_path_.empty()) socket_ = connect_ipc_socket(socket_path_);
    if (socket_ < 0) return SYSTEM_ERROR;
    const Clock::time_point deadline = Clock::now() + timeout;
    if (!limit_waits(timeout)) return broken(true);
    const std::span<const std::uint8_t> frame =
        frame_.stamp(++sequence_, static_cast<std::uint32_t>(used));
    IpcReply reply;
    {
      // A stop shuts the connection down, which ends a blocked send or receive at once. The
      // callback is gone before the socket can be closed (and its number reused).
      const std::stop_callback wake(stop, [fd = socket_] { shutdown(fd, SHUT_RDWR); });
      reply = request(frame, deadline);
    }
    if (stop.stop_requested()) return broken(false);
    if (!reply.answered) return broken(reply.system_error);
    if (!area_.load({block_.data(), used})) return SYSTEM_ERROR;  // the area was shrunk
    return reply;
  }

  void close() override {
    drop_connection();
    socket_path_.clear();
    area_.release();
    block_.clear();
  }

 private:
  // Sets the socket's send and receive time-outs to `timeout` when they are not already.
  bool limit_waits(Millis timeout) {
    if (socket_timeout_ == timeout) return true;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timeval limit{static_cast<time_t>(seconds.count()),
                        static_cast<suseconds_t>((timeout - seconds).count() * 1000)};
    if (setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
      return false;
    }
    socket_timeout_ = timeout;
    return true;
  }

  // Narrows the socket's time-outs to what is left until `deadline`; false when nothing is.
  bool narrow_to(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<Millis>(deadline - Clock::now());
    if (left <= Millis(0)) return false;
    return left + TIMEOUT_SLACK >= socket_timeout_ || limit_waits(left);
  }

  // Sends the numbered request and reads replies until the one of its number: a late or
  // surplus reply to an earlier request is passed over, never taken for this one's.
  IpcReply request(std::span<const std::uint8_t> frame, Clock::time_point deadline) {
    for (std::size_t sent = 0; sent < frame.size();) {
      const ssize_t n = send(socket_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return failure();
      sent += static_cast<std::size_t>(n);
      if (!narrow_to(deadline)) return NO_REPLY;
    }
    ReplyReader replies;
    replies.await(sequence_);
    const Clock::time_point spin_end = Clock::now() + REPLY_SPIN;
    for (;;) {
      const bool spinning = Clock::now() < spin_end;
      const std::span<std::uint8_t> room = replies.room();
      const ssize_t got = recv(socket_, room.data(), room.size(), spinning ? MSG_DONTWAIT : 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && spinning && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        sched_yield();
        continue;
      }
      if (got < 0) return failure();
      if (got == 0) return NO_REPLY;  // closed without answering
      if (const auto value = replies.received(static_cast<std::size_t>(got))) {
        return IpcReply{true, *value, false};
      }
      // Every piece narrows the next wait, so a reply trickled byte by byte still ends the
      // attempt at its deadline.
      if (!narrow_to(deadline)) return NO_REPLY;
    }
  }

  // A send or receive that failed: its time-out expired (no reply), or the system refused it.
  static IpcReply failure() {
    return errno == EAGAIN || errno == EWOULDBLOCK ? NO_REPLY : SYSTEM_ERROR;
  }

  // A connection that failed or timed out is dropped, and made anew by the next attempt.
  IpcReply broken(bool system_error) {
    drop_connection();
    return system_error ? SYSTEM_ERROR : NO_REPLY;
  }

  void drop_connection() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    socket_timeout_ = Millis(-1);
  }

  std::string directory_;
  std::string socket_path_;  // of the server found by the last find_server
  int socket_ = -1;
  Millis socket_timeout_{-1};  // the socket's send and receive time-outs; -1: not set
  std::uint32_t sequence_ = 0;
  PosixArea area_;
  std::vector<std::uint8_t> block_;  // the client's block; copied into the area and back
  RequestFrameWriter frame_;
};

}  // namespace

std::unique_ptr<IpcTransport> make_posix_transport(PosixTransportOptions options) {
  return std::make_unique<PosixTransport>(std::move(options));
}

std::unique_ptr<IpcTransport> make_platform_transport() { return make_posix_transport(); }

}  // namespace kavri
