// The UDP socket and beacon listener contracts on Winsock, as Wine runs it: its sockets bind
// 127.0.0.2 as the wildcard, and its beacon's tests stay on the loopback, as no network of the
// test's own carries the beacon's group there.
#include "testing/beacon_listener_contract.h"
#include "testing/udp_socket_contract.h"

namespace kavri::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Win32, UdpSocketContract,
                         ::testing::Values(UdpSocketBackend{"win32", &make_platform_udp_socket,
                                                            "cannot send (Winsock error 10013)",
                                                            false}));

class Win32BeaconRig final : public BeaconRig {
 public:
  bool carries_group() const override { return false; }
  std::string run_apart(const std::function<void()>& work) override {
    work();
    return {};
  }
};

INSTANTIATE_TEST_SUITE_P(Win32, BeaconListenerContract,
                         ::testing::Values(BeaconBackend{"win32", &beacon_rig_of<Win32BeaconRig>}));

}  // namespace
}  // namespace kavri::testing
