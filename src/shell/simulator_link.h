// The link the driver reaches the simulator by: the local link of this computer, or a
// kavri-relay's across the network (the command line's --link HOST:PORT --key-file FILE, or the
// same two entries of Kavri.ini for those who start the driver from the menu).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "simlink/ipc_transport.h"

namespace kavri {

struct LinkSetting {
  std::string relay;     // "HOST:PORT"; empty: the local link
  std::string key_file;  // the relay's key
};

// Exactly "--link HOST:PORT --key-file FILE", in either order, a well-formed HOST:PORT and a
// key file named; none otherwise.
std::optional<LinkSetting> parse_link_options(std::span<const std::string_view> args);

// The local link's transport, or the network one to the relay with the key read from its file.
// A Failure names what is wrong (the address, the key file).
Result<std::unique_ptr<IpcTransport>> make_simulator_link(const LinkSetting& setting);

}  // namespace kavri
