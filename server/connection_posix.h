// One client's connection to the POSIX server, served on a thread of its own that blocks in
// its receive (a stop shuts the socket down, which ends the receive): no poll stands between a
// request and its answer. Each request is carried out on a copy of the client's area and
// answered with the request's sequence number (simlink/ipc_frames.h).
#pragma once

#include <atomic>
#include <chrono>

#include "base/env.h"
#include "server/offset_space.h"
#include "server/request_server.h"

namespace kavri {

class PosixConnection {
 public:
  // Serves the connected socket `fd`, which it owns from now on. `space` and `on_write` must
  // outlive the connection.
  PosixConnection(Env& env, int fd, OffsetSpace& space, const WriteObserver& on_write);
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;
  ~PosixConnection();  // stops serving, waits for the thread, closes the socket

  // True once the client has left or broken the protocol; the thread has then ended.
  bool ended() const { return ended_.load(std::memory_order_acquire); }
  // When the client last connected or was answered (any thread).
  std::chrono::steady_clock::time_point quiet_since() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(quiet_since_.load(std::memory_order_relaxed)));
  }

 private:
  void serve(std::stop_token stop);
  // Returns when the client leaves, breaks the protocol, stops reading its replies or leaves a
  // request incomplete for longer than IPC_ATTEMPT_BOUND.
  void answer_requests();
  void mark_quiet();

  int fd_;
  OffsetSpace& space_;
  const WriteObserver& on_write_;
  std::atomic<bool> ended_{false};
  std::atomic<std::chrono::steady_clock::rep> quiet_since_{
      std::chrono::steady_clock::now().time_since_epoch().count()};
  Worker worker_;  // last: the thread starts once the rest is ready
};

}  // namespace kavri
