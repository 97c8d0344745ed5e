// The POSIX backend of the simulator link's transport, with the options that tests, benchmarks
// and the virtual simulator's own clients set; the driver uses make_platform_transport().
#pragma once

#include <memory>
#include <string>

#include "simlink/ipc_transport.h"

namespace kavri {

struct PosixTransportOptions {
  // Where the servers' sockets are; empty: the per-user directory (simlink/endpoint_posix.h).
  std::string directory;
};

std::unique_ptr<IpcTransport> make_posix_transport(PosixTransportOptions options = {});

}  // namespace kavri
