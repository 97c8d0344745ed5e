#include "server/connection_posix.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <span>
#include <string_view>
#include <vector>

#include "simlink/area_posix.h"
#include "simlink/endpoint_posix.h"
#include "simlink/ipc_frames.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

// Bounds each receive on `fd` to `limit` (0: no bound).
void limit_receives(int fd, std::chrono::milliseconds limit) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit);
  const timeval value{static_cast<time_t>(seconds.count()),
                      static_cast<suseconds_t>((limit - seconds).count() * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
}

// Carries out the first `used` bytes of the named area on a copy, which then goes back whole.
// A client that shrank its area, even meanwhile, gets 0 and a new mapping at its next request.
std::uint32_t serve_area(NamedArea& area, std::string_view name, std::uint32_t used,
                         std::vector<std::uint8_t>& copy, OffsetSpace& space,
                         const WriteObserver& on_write) {
  if (used < 4 || used > IPC_AREA_SIZE || !area.open(name)) return 0;
  const std::span<std::uint8_t> block(copy.data(), used);
  if (area.load(block)) {
    const std::uint32_t reply = carry_out_requests(space, block, on_write);
    if (area.store(block)) return reply;
  }
  area.reset();
  return 0;
}

}  // namespace

PosixConnection::PosixConnection(int fd, OffsetSpace& space, const WriteObserver& on_write)
    : fd_(fd), space_(space), on_write_(on_write) {}

Status PosixConnection::start(Env& env) {
  return start_worker(
      env, worker_, [this](std::stop_token stop) { serve(stop); }, "client connection");
}

PosixConnection::~PosixConnection() {
  worker_.stop_and_join();
  close(fd_);
}

void PosixConnection::serve(std::stop_token stop) {
  {
    const std::stop_callback wake(stop, [this] { shutdown(fd_, SHUT_RDWR); });
    answer_requests();
  }
  ended_.store(true, std::memory_order_release);
}

void PosixConnection::mark_served() {
  served_since_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                      std::memory_order_relaxed);
}

void PosixConnection::answer_requests() {
  NamedArea area;
  std::vector<std::uint8_t> copy(IPC_AREA_SIZE);
  RequestFrameReader frames;
  bool bounded = false;  // whether receives are bounded, as they are while a request is partial
  for (;;) {
    const std::span<std::uint8_t> room = frames.room();
    const ssize_t got = recv(fd_, room.data(), room.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    frames.received(static_cast<std::size_t>(got));
    for (;;) {
      RequestFrame frame;
      const RequestFrameReader::Next next = frames.next(frame);
      if (next == RequestFrameReader::Next::partial) break;
      if (next == RequestFrameReader::Next::foreign) return;
      std::uint8_t reply[IPC_REPLY_SIZE];
      store_le32(reply, frame.sequence);
      const std::uint32_t result =
          serve_area(area, frame.name, frame.used, copy, space_, on_write_);
      store_le32(reply + 4, result);
      if (send(fd_, reply, sizeof reply, MSG_NOSIGNAL) != sizeof reply) return;
      if (result == 1) mark_served();
    }
    // The rest of a request comes within the client's attempt, or the connection is dropped
    // (the receive times out): a half-sent request never holds a place for ever.
    if (frames.partial() != bounded) {
      bounded = frames.partial();
      limit_receives(fd_, bounded ? IPC_ATTEMPT_BOUND : std::chrono::milliseconds(0));
    }
  }
}

}  // namespace kavri
