// Where the POSIX servers listen: one Unix-domain socket per server class, named after the
// class, in a directory that only its user may enter. Client and server agree through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/result.h"
#include "simlink/ipc_frames.h"  // what travels on the socket
#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"

namespace kavri {

// $XDG_RUNTIME_DIR/kavri when XDG_RUNTIME_DIR names a directory, else /tmp/kavri-<uid>.
std::string default_ipc_directory();

// The socket of `server_class` in `directory`.
std::string ipc_socket_path(const std::string& directory, IpcServerClass server_class);

// True when `directory` is a real directory (not a link) owned by this user that no one else
// may enter or write (no group or other permission): anything else could let another user
// pose as the simulator.
bool ipc_directory_trusted(const std::string& directory);

// A connected stream socket (close-on-exec, blocking) to the socket at `path`, or -1 with errno
// set. Never waits: a server whose backlog is full (frozen, flooded) refuses at once with
// EAGAIN. A socket served by another user is refused with EACCES.
int connect_ipc_socket(const std::string& path);

// For servers: creates `directory` with mode 0700, or narrows an existing one of this user's
// to 0700. Fails when it cannot or the directory is not ours.
Status prepare_ipc_directory(const std::string& directory);

}  // namespace kavri
