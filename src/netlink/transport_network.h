// The simulator link across the network: the driver's transport when the simulator runs on
// another computer behind kavri-relay. Each exchange's block travels whole to the relay, which
// passes it to the simulator as one request and sends it back as the simulator left it.
#pragma once

#include <memory>

#include "netlink/net_address.h"
#include "netlink/sealed_channel.h"
#include "simlink/ipc_transport.h"

namespace kavri {

struct NetworkLink {
  NetAddress relay;
  LinkKey key{};
};

// find_server() connects, proves the key and asks the relay for the simulator's server, within
// IPC_ATTEMPT_BOUND. The area is the transport's own memory. An exchange waits for its answer
// within its time-out; a connection that broke, or that the relay or a stranger spoiled, is
// dropped and counts as a system error (as a local link whose server is gone), and the next
// exchange connects anew. A stop request ends a wait at once.
std::unique_ptr<IpcTransport> make_network_transport(NetworkLink link);

}  // namespace kavri
