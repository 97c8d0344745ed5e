// The server's end of the simulator link, as a simulator (virtual or bridged) serves it: it
// makes itself findable under a server class and answers each exchange by carrying out the
// client's request block against an offset space. Backends: a Unix-domain socket in the
// per-user directory (POSIX), a top-level window of the class's name (Win32).
#pragma once

#include <memory>
#include <string>

#include "base/env.h"
#include "base/result.h"
#include "server/offset_space.h"
#include "server/request_server.h"
#include "simlink/ipc_records.h"

namespace kavri {

// Serves on threads of its own, which notice a stop within a tenth of a second.
class IpcServer {
 public:
  virtual ~IpcServer() = default;  // stops

  // Starts serving under `server_class`. Fails when it cannot (for instance another live
  // server already goes by that class).
  virtual Status start(IpcServerClass server_class) = 0;
  // Stops answering and withdraws the server; harmless when not running.
  virtual void stop() = 0;
};

// The platform's server. `space` must outlive it; `on_write` runs on a server thread, one call
// at a time.
// `directory` is where a POSIX server's socket goes (empty: the per-user directory); servers
// found by window class ignore it.
std::unique_ptr<IpcServer> make_platform_ipc_server(Env& env, OffsetSpace& space,
                                                    WriteObserver on_write,
                                                    std::string directory = {});

}  // namespace kavri
