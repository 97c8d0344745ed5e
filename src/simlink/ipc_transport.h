// The operating system's half of the simulator link: finding the server, the named request
// area both sides map, and one exchange that asks the server to carry out the area's records.
// Backends: POSIX (Unix-domain socket + POSIX shared memory), Win32 (window message, global
// atom, file mapping), in-process (server/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/env.h"
#include "simlink/ipc_records.h"

namespace kavri {

// A client gives each exchange attempt this long; a server drops a connection that left a
// request incomplete for longer, and may drop one quiet for longer to make room for a new client.
inline constexpr Millis IPC_ATTEMPT_BOUND{2000};

// The outcome of one exchange attempt.
struct IpcReply {
  bool answered = false;      // a reply value arrived within the time-out
  std::uint32_t value = 0;    // the reply, when answered (1: done)
  bool system_error = false;  // when not answered: the system reported an error
};

// Used by one IpcClient, under its lock; never by two threads at once.
class IpcTransport {
 public:
  virtual ~IpcTransport() = default;

  // The process id that names the request area.
  virtual std::uint32_t process_id() = 0;

  // Looks for the server, UIPCMAIN first, then FS98MAIN, and keeps it for the exchanges. Never
  // waits: a server that cannot take the client at once counts as absent.
  virtual std::optional<IpcServerClass> find_server() = 0;

  // Prepares the exchange message; false fails the open with result 3.
  virtual bool register_message() = 0;

  // Creates the request area of IPC_AREA_SIZE bytes under `name` and maps it read/write.
  // Returns ok, atom_failed, area_failed (also when an object of that name already exists:
  // it is never shared, nor removed) or view_failed. On failure close() releases whatever was
  // made.
  virtual IpcResult create_area(const std::string& name) = 0;

  // The client's request block, IPC_AREA_SIZE bytes; empty when none. The client writes its
  // records here; an answered exchange leaves the server's results here.
  virtual std::span<std::uint8_t> area() = 0;

  // One attempt: asks the server to carry out the records in the first `used` bytes of the
  // area (end marker included), waiting at most `timeout` in all (connecting, sending and the
  // reply). A stop request on `stop` ends the wait at once, unanswered, where the platform
  // allows (not a window message's). A reply that belongs to an earlier attempt is never taken
  // for this one's.
  virtual IpcReply exchange(std::size_t used, Millis timeout, std::stop_token stop) = 0;

  // Releases the server, the area (a created name is removed) and the message; harmless when
  // nothing is held.
  virtual void close() = 0;
};

// The platform's transport, chosen by the build: window messages and a file mapping on
// Windows, a Unix-domain socket and POSIX shared memory elsewhere.
std::unique_ptr<IpcTransport> make_platform_transport();

}  // namespace kavri
