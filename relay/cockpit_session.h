// One cockpit's connection to the relay, from the handshake to its end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>

#include "netlink/tcp_stream.h"
#include "relay/refusal_notes.h"
#include "relay/relay_server.h"

namespace kavri {

// Serves `stream` until the cockpit leaves, spoils a message (told in `notes`), stalls or a stop
// is requested; then its local link is closed. `areas_made` numbers the local areas, so no two
// cockpits' areas go by one name.
void serve_cockpit(std::unique_ptr<TcpStream> stream, const RelayOptions& options,
                   RefusalNotes& notes, std::atomic<std::uint32_t>& areas_made,
                   std::stop_token stop);

}  // namespace kavri
