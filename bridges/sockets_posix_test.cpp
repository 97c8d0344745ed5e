// The UDP socket and beacon listener contracts on the BSD sockets. The beacon's tests run in a
// network namespace of their own, whose loopback carries the beacon's group.
#include "testing/beacon_listener_contract.h"
#include "testing/network_namespaces.h"
#include "testing/udp_socket_contract.h"

namespace kavri::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Posix, UdpSocketContract,
                         ::testing::Values(UdpSocketBackend{"posix", &make_platform_udp_socket,
                                                            "Permission denied"}));

class PosixBeaconRig final : public BeaconRig {
 public:
  PosixBeaconRig() {
    Status made = hosts_.add_host("beacon");
    if (made) made = hosts_.ip("beacon", {"link", "set", "lo", "multicast", "on"});
    if (made) made = hosts_.ip("beacon", {"route", "add", "224.0.0.0/4", "dev", "lo"});
    if (!made) problem_ = made.error();
    made_ = made.ok();
  }
  bool carries_group() const override {
#ifdef KAVRI_EMULATED
    return false;  // qemu-user refuses the multicast socket options inside a namespace
#else
    return true;
#endif
  }
  std::string run_apart(const std::function<void()>& work) override {
    if (!made_) return "cannot make a network namespace: " + problem_;
    const Status done = hosts_.inside("beacon", work);
    return done ? "" : done.error();
  }

 private:
  NetworkNamespaces hosts_;
  std::string problem_;
  bool made_ = false;
};

INSTANTIATE_TEST_SUITE_P(Posix, BeaconListenerContract,
                         ::testing::Values(BeaconBackend{"posix", &beacon_rig_of<PosixBeaconRig>}));

}  // namespace
}  // namespace kavri::testing
