// One client's connection to the POSIX server, served on a thread of its own that blocks in
// its receive (a stop shuts the socket down, which ends the receive): no poll stands between a
// request and its answer. Each request is carried out on a copy of the client's area and
// answered with the request's sequence number (simlink/ipc_frames.h).
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "base/env.h"
#include "base/result.h"
#include "server/offset_space.h"
#include "server/request_server.h"

namespace kavri {

class PosixConnection {
 public:
  // Owns the connected socket `fd` from now on. `space` and `on_write` must outlive the
  // connection.
  PosixConnection(int fd, OffsetSpace& space, const WriteObserver& on_write);
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;
  ~PosixConnection();  // stops serving, waits for the thread, closes the socket

  // Starts serving on a thread of `env`. Fails when the system refuses the thread.
  Status start(Env& env);

  // True once the client has left or broken the protocol; the thread has then ended.
  bool ended() const { return ended_.load(std::memory_order_acquire); }
  // When the client connected or last had a request carried out (any thread). Answers of 0
  // (no such area, a malformed block) do not count: a client that only asks for what fails
  // serves no one, however busy it keeps.
  std::chrono::steady_clock::time_point served_since() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(served_since_.load(std::memory_order_relaxed)));
  }

 private:
  void serve(std::stop_token stop);
  // Returns when the client leaves, breaks the protocol, stops reading its replies or leaves a
  // request incomplete for longer than IPC_ATTEMPT_BOUND.
  void answer_requests();
  void mark_served();

  int fd_;
  OffsetSpace& space_;
  const WriteObserver& on_write_;
  std::atomic<bool> ended_{false};
  std::atomic<std::chrono::steady_clock::rep> served_since_{
      std::chrono::steady_clock::now().time_since_epoch().count()};
  Worker worker_;
};

}  // namespace kavri
