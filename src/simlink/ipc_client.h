// The client side of the simulator's IPC link (FSUIPC): a request block of read and write
// records sent to the server in one exchange. The block logic is platform-free; finding the
// server, the named shared area and the exchange itself go through an IpcTransport.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>

#include "base/env.h"
#include "simlink/batch_mutex.h"
#include "simlink/ipc_records.h"

namespace kavri {

class IpcTransport;

// Thread-safe: every call takes the client's lock, and lock_batch() holds it across a batch
// (its queue calls and its process) so that another thread's batch, open or close can never
// interleave with it. The lock is recursive, so the calls may be made while holding it.
// Every wait inside (the reply, the pauses between attempts and handshake passes) is bounded
// by the link's time-outs and ends early on a stop request.
class IpcClient {
 public:
  IpcClient(Env& env, IpcTransport& transport);
  ~IpcClient();

  // A stop request on `stop` (here and in ipc_process) ends the attempts and pauses early,
  // so a thread being stopped never waits out a silent server's whole round of attempts.
  bool ipc_open(std::uint32_t required_simulator, IpcResult& result, std::stop_token stop = {});
  // `destination` receives `size` bytes when a later ipc_process succeeds; null discards.
  // The destination must stay valid until that process (or a close) has run.
  bool ipc_read(std::uint32_t offset, std::uint32_t size, void* destination, IpcResult& result);
  // The source bytes are copied at once.
  bool ipc_write(std::uint32_t offset, std::uint32_t size, const void* source, IpcResult& result);
  bool ipc_process(IpcResult& result, std::stop_token stop = {});
  void ipc_close();
  bool is_open() const;
  // True from an exchange whose every attempt failed until the next close: the server is
  // gone, and further exchanges fail at once with the same result. Never waits for the lock.
  bool link_lost() const { return lost_.load(std::memory_order_acquire) != IpcResult::ok; }

  // Holds the lock across a batch. Owns nothing (tests false) when `stop` was requested before
  // another thread's batch let go of it: the caller then gives up its batch.
  std::unique_lock<BatchMutex> lock_batch(std::stop_token stop = {}) {
    if (!mutex_.lock(stop)) return {};
    return std::unique_lock(mutex_, std::adopt_lock);
  }

 private:
  struct State;
  Env& env_;
  IpcTransport& transport_;
  mutable BatchMutex mutex_;
  std::unique_ptr<State> state_;
  // Set when every attempt of an exchange failed (the result it failed with), ok otherwise.
  std::atomic<IpcResult> lost_{IpcResult::ok};
};

}  // namespace kavri
