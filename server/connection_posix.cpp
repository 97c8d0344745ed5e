#include "server/connection_posix.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "simlink/area_posix.h"
#include "simlink/endpoint_posix.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr std::size_t MAX_FRAME = IPC_FRAME_HEADER + IPC_MAX_NAME;

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

bool PosixConnection::start(Env& env, std::string& refusal) {
  return start_worker(
      env, worker_, [this](std::stop_token stop) { serve(stop); }, "client connection", refusal);
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
  // Requests arrive one at a time, each usually whole in one receive; room for two lets a
  // client that sends the next one early lose nothing.
  std::array<std::uint8_t, 2 * MAX_FRAME> frames;
  std::size_t held = 0;
  bool bounded = false;  // whether receives are bounded, as they are while a request is partial
  for (;;) {
    const ssize_t got = recv(fd_, frames.data() + held, frames.size() - held, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    held += static_cast<std::size_t>(got);
    std::size_t at = 0;
    while (held - at >= IPC_FRAME_HEADER) {
      const std::uint8_t* frame = frames.data() + at;
      const std::uint32_t length = load_le32(frame + 12);
      if (load_le32(frame) != IPC_FRAME_TAG || length == 0 || length > IPC_MAX_NAME) {
        return;  // not this protocol, or not this version of it
      }
      if (held - at < IPC_FRAME_HEADER + length) break;
      const std::string_view name(reinterpret_cast<const char*>(frame) + IPC_FRAME_HEADER, length);
      std::uint8_t reply[IPC_REPLY_SIZE];
      store_le32(reply, load_le32(frame + 4));
      const std::uint32_t result =
          serve_area(area, name, load_le32(frame + 8), copy, space_, on_write_);
      store_le32(reply + 4, result);
      if (send(fd_, reply, sizeof reply, MSG_NOSIGNAL) != sizeof reply) return;
      if (result == 1) mark_served();
      at += IPC_FRAME_HEADER + length;
    }
    std::memmove(frames.data(), frames.data() + at, held - at);
    held -= at;
    // The rest of a request comes within the client's attempt, or the connection is dropped
    // (the receive times out): a half-sent request never holds a place for ever.
    if ((held > 0) != bounded) {
      bounded = held > 0;
      limit_receives(fd_, bounded ? IPC_ATTEMPT_BOUND : std::chrono::milliseconds(0));
    }
  }
}

}  // namespace kavri
