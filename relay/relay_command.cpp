#include "relay/relay_command.h"

namespace kavri {

std::optional<RelayCommand> parse_relay_command(std::span<const std::string_view> args) {
  RelayCommand command;
  bool serve_given = false;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string_view option = args[i];
    if (i + 1 >= args.size()) return std::nullopt;
    const std::string_view value = args[i + 1];
    if (option == "--new-key") {
      if (args.size() != 2) return std::nullopt;
      command.new_key = true;
      command.key_file = std::string(value);
    } else if (option == "--key-file" && command.key_file.empty() && !value.empty()) {
      command.key_file = std::string(value);
    } else if (option == "--serve" && !serve_given) {
      const auto address = parse_net_address(value);
      if (!address) return std::nullopt;
      command.serve = *address;
      serve_given = true;
    } else if (option == "--allow") {
      const auto range = parse_ipv4_range(value);
      if (!range) return std::nullopt;
      command.allow.push_back(*range);
    } else {
      return std::nullopt;
    }
  }
  if (!command.new_key && (!serve_given || command.key_file.empty())) return std::nullopt;
  return command;
}

}  // namespace kavri
