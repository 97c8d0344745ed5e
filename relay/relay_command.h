// The command line of kavri-relay.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netlink/net_address.h"

namespace kavri {

struct RelayCommand {
  bool new_key = false;          // --new-key FILE: make a key and end
  std::string key_file;          // --new-key's FILE, or --key-file FILE
  NetAddress serve;              // --serve HOST:PORT
  std::vector<Ipv4Range> allow;  // --allow CIDR, repeatable
};

inline constexpr const char* RELAY_USAGE =
    "usage: kavri-relay --serve HOST:PORT --key-file FILE [--allow CIDR]...\n"
    "       kavri-relay --new-key FILE\n"
    "       kavri-relay --help | --version\n"
    "Serves this computer's simulator link to Kavri drivers on other computers of the network\n"
    "(kavri --link, kavri-bench --link), to those that hold the same key only.\n"
    "  --serve HOST:PORT  where to take connections: an address of this computer (0.0.0.0 for\n"
    "                     all of them) and a port\n"
    "  --key-file FILE    the key the cockpits must hold (made by --new-key, copied to them)\n"
    "  --allow CIDR       take connections only from these addresses, e.g. 192.168.1.0/24 or\n"
    "                     192.168.1.20 (repeatable; default: any address holding the key)\n"
    "  --new-key FILE     make a new random key in FILE, readable by its owner only, and end\n"
    "  --help             alone: show this text\n"
    "  --version          alone: show the program version\n";

// The arguments after the program name ("--help" and "--version" are answered before). None
// when one is unknown, lacks its value or has a malformed one, when --serve or --key-file is
// missing, or when --new-key comes with any other option.
std::optional<RelayCommand> parse_relay_command(std::span<const std::string_view> args);

}  // namespace kavri
