// How X-Plane is found through any beacon socket: run on the BSD sockets (in a network namespace
// of the test's own) and, under Wine, on Winsock.
#include "testing/beacon_listener_contract.h"

#include "bridges/beacon_listener.h"
#include "bridges/udp_socket.h"
#include "bridges/xplane_datagrams.h"

namespace kavri::testing {
namespace {

// A socket of this computer sending to `host` on the beacon's port.
std::unique_ptr<UdpSocket> sender_to(const char* host) {
  auto made = make_platform_udp_socket({"127.0.0.1", 0}, {host, BEACON_PORT}, "127.0.0.1");
  EXPECT_TRUE(made) << made.error();
  return made ? std::move(made).value() : nullptr;
}

// The backend's socket, telling how often the listener joined the group's interfaces.
class JoinCount final : public BeaconSocket {
 public:
  explicit JoinCount(BeaconSocket& socket) : socket_(socket) {}
  void join_new_interfaces() override {
    ++joins;
    socket_.join_new_interfaces();
  }
  std::optional<BeaconDatagram> receive(Millis wait) override { return socket_.receive(wait); }
  int joins = 0;

 private:
  BeaconSocket& socket_;
};

TEST_P(BeaconListenerContract, AGroupBeaconGivesXplanesAddressAndPortAndNothingElseDoes) {
  if (!rig->carries_group()) GTEST_SKIP() << "no network of the test's own carries the group";
  Result<NetAddress> found = fail("not waited for");
  const std::string apart = rig->run_apart([&] {
    auto socket = make_platform_beacon_socket();
    ASSERT_TRUE(socket) << socket.error();
    const auto to_group = sender_to(BEACON_GROUP), to_computer = sender_to("127.0.0.1");
    ASSERT_TRUE(to_group && to_computer);
    int asked = 0;
    found = wait_for_xplane_beacon(env, **socket, Millis(10000), [&] {
      // Once the listener has joined the group: a beacon to this computer alone, a datagram
      // that is no beacon, then X-Plane's own.
      if (++asked == 2) {
        to_computer->send(becn_beacon(9, "stranger"));
        to_group->send("BECN?");
        to_group->send(becn_beacon(49000, "simulator"));
      }
      env.advance(Millis(50));
      return true;
    });
  });
  if (!apart.empty()) GTEST_SKIP() << apart;
  ASSERT_TRUE(found) << found.error();
  EXPECT_EQ(found->host, "127.0.0.1");
  EXPECT_EQ(found->port, 49000);
}

// The limit and the joins of interfaces come up meanwhile go by the Env's clock.
TEST_P(BeaconListenerContract, BeaconsToThisComputerAloneAreIgnoredUntilTheLimit) {
  Result<NetAddress> found = fail("not waited for");
  int joins = 0;
  const std::string apart = rig->run_apart([&] {
    auto socket = make_platform_beacon_socket();
    ASSERT_TRUE(socket) << socket.error();
    const auto to_computer = sender_to("127.0.0.1");
    ASSERT_NE(to_computer, nullptr);
    JoinCount counted(**socket);
    found = wait_for_xplane_beacon(env, counted, Millis(1500), [&] {
      to_computer->send(becn_beacon(49000, "stranger"));
      env.advance(Millis(50));
      return true;
    });
    joins = counted.joins;
  });
  if (!apart.empty()) GTEST_SKIP() << apart;
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error(), "no beacon from X-Plane");
  EXPECT_EQ(env.now_ms(), 1500) << "given up as soon as the limit has passed";
  EXPECT_EQ(joins, 2) << "at the start and a second later";
}

}  // namespace
}  // namespace kavri::testing
