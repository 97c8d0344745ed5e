#include "shell/simulator_link.h"

#include "netlink/net_address.h"
#include "netlink/sealed_channel.h"
#include "netlink/transport_network.h"

namespace kavri {

std::optional<LinkSetting> parse_link_options(std::span<const std::string_view> args) {
  LinkSetting setting;
  if (args.size() != 4) return std::nullopt;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    std::string& field = args[i] == "--link" ? setting.relay : setting.key_file;
    if ((args[i] != "--link" && args[i] != "--key-file") || !field.empty() || args[i + 1].empty()) {
      return std::nullopt;
    }
    field = std::string(args[i + 1]);
  }
  if (!parse_net_address(setting.relay)) return std::nullopt;
  return setting;
}

Result<std::unique_ptr<IpcTransport>> make_simulator_link(const LinkSetting& setting) {
  if (setting.relay.empty()) return make_platform_transport();
  const auto relay = parse_net_address(setting.relay);
  if (!relay) return fail(relay.error());
  if (setting.key_file.empty()) return fail("the link to " + setting.relay + " needs a key file");
  const auto key = read_link_key(setting.key_file);
  if (!key) return fail(key.error());
  return make_network_transport({*relay, *key});
}

}  // namespace kavri
