// A transport whose server is a virtual simulator's offset space in the same process: no
// socket, no shared memory, each exchange carried out at once on the caller's thread. For
// tests and benchmarks that want the whole client without the operating system.
#pragma once

#include <memory>

#include "server/offset_space.h"
#include "server/request_server.h"
#include "simlink/ipc_transport.h"

namespace kavri {

// `space` must outlive the transport. The server goes by `server_class`; `on_write` sees each
// client write.
std::unique_ptr<IpcTransport> make_in_process_transport(
    OffsetSpace& space, IpcServerClass server_class = IpcServerClass::uipcmain,
    WriteObserver on_write = {});

}  // namespace kavri
