// The driver's network transport keeps the transport contract: through a relay of this process
// in front of POSIX servers of a scratch directory, the client's open, exchanges, result codes
// and reopening work as on the local link.
#include "netlink/transport_network.h"

#include "relay/relay_server.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/transport_contract.h"

namespace kavri::testing {
namespace {

LinkKey test_key(std::uint8_t seed) {
  LinkKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(seed + i * 29);
  return key;
}

class NetworkRig final : public PlatformServerRig {
 public:
  explicit NetworkRig(OffsetSpace& space) : PlatformServerRig(space) {
    RelayOptions options;
    options.listen = {"127.0.0.1", 0};
    options.key = test_key(1);
    options.local_link = [directory = scratch_.path()] {
      return make_posix_transport({directory});
    };
    relay_ = std::make_unique<Relay>(env_, std::move(options), [](const std::string&) {});
    EXPECT_TRUE(relay_->start());
    transport_ = make_network_transport({{"127.0.0.1", relay_->port()}, test_key(1)});
  }

  TransportTraits traits() const override { return {true, false}; }
  IpcTransport& transport() override { return *transport_; }
  bool occupy_area(const std::string&) override { return false; }
  bool occupant_intact() override { return false; }
  bool holds_name(const std::string&) override { return false; }

 private:
  std::string server_directory() const override { return scratch_.path(); }

  ScratchDirectory scratch_;
  SystemEnv env_;
  std::unique_ptr<Relay> relay_;
  std::unique_ptr<IpcTransport> transport_;
};

INSTANTIATE_TEST_SUITE_P(Network, IpcTransportContract,
                         ::testing::Values(TransportBackend{"network", &rig_of<NetworkRig>}));

}  // namespace
}  // namespace kavri::testing
