// The client side of the simulator's IPC link (FSUIPC): a request block of read and write
// records sent to the server in one exchange. The block logic is platform-free; finding the
// server, the named shared area and the exchange itself go through an IpcTransport.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>

#include "base/env.h"
#include "simlink/ipc_records.h"

namespace kavri {

class IpcTransport;

// Thread-safe: every call takes the client's lock, and lock_batch() holds it across a batch
// (its queue calls and its process) so that another thread's batch, open or close can never
// interleave with it. The lock is recursive, so the calls may be made while holding it.
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
  // gone, and further exchanges fail at once with the same result.
  bool link_lost() const;

  std::unique_lock<std::recursive_mutex> lock_batch() { return std::unique_lock(mutex_); }

 private:
  struct State;
  Env& env_;
  IpcTransport& transport_;
  mutable std::recursive_mutex mutex_;
  std::unique_ptr<State> state_;
};

}  // namespace kavri
