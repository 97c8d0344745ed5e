// What the bridges may count on from any UDP socket: run on the BSD sockets and, under Wine, on
// Winsock.
#include "testing/udp_socket_contract.h"

#include <string>
#include <vector>

namespace kavri::testing {
namespace {

TEST_P(UdpSocketContract, TakesDatagramsOnlyFromItsHostAndTellsRefusedSendersAndFailedSends) {
  const auto bridge = make({"127.0.0.1", 0}, {"255.255.255.255", 9}, "127.0.0.2");
  ASSERT_NE(bridge, nullptr);
  EXPECT_NE(bridge->local_port(), 0) << "the port the system chose";
  const auto from = [&](const char* host) {
    return make({host, 0}, {"127.0.0.1", bridge->local_port()}, "127.0.0.1");
  };
  const auto stranger = from("127.0.0.1");
  ASSERT_NE(stranger, nullptr);
  const bool simulator_apart = GetParam().binds_any_loopback_address;
  const auto simulator = simulator_apart ? from("127.0.0.2") : nullptr;
  stranger->send("1");
  if (simulator) simulator->send("2");
  stranger->send("3");
  std::vector<char> buffer(16);
  std::string taken;
  for (int i = 0; i < (simulator_apart ? 3 : 2); ++i) {
    if (const auto size = bridge->receive(buffer, Millis(1000))) taken.append(buffer.data(), *size);
  }
  EXPECT_EQ(taken, simulator_apart ? "2" : "");
  EXPECT_FALSE(bridge->send("x")) << "a broadcast, never allowed to this socket";
  const SocketTroubles troubles = bridge->take_troubles();
  EXPECT_EQ(troubles.refused_senders, 2);
  EXPECT_EQ(troubles.last_refused_sender, "127.0.0.1:" + std::to_string(stranger->local_port()));
  EXPECT_EQ(troubles.failed_sends, 1);
  EXPECT_EQ(troubles.last_send_failure, GetParam().refused_send_reason);
  EXPECT_EQ(bridge->take_troubles().refused_senders, 0) << "told once";
}

TEST_P(UdpSocketContract, ADatagramLargerThanTheBufferIsDroppedWholeNeverCut) {
  const auto bridge = make({"127.0.0.1", 0}, {"127.0.0.1", 9}, "127.0.0.1");
  ASSERT_NE(bridge, nullptr);
  const auto simulator = make({"127.0.0.1", 0}, {"127.0.0.1", bridge->local_port()}, "127.0.0.1");
  ASSERT_NE(simulator, nullptr);
  ASSERT_TRUE(simulator->send("0123456789abcdefXYZ"));
  ASSERT_TRUE(simulator->send("next"));
  std::vector<char> buffer(16);
  std::vector<std::string> taken;
  for (int i = 0; i < 2; ++i) {
    if (const auto size = bridge->receive(buffer, Millis(1000))) {
      taken.emplace_back(buffer.data(), *size);
    }
  }
  EXPECT_EQ(taken, std::vector<std::string>{"next"});
}

TEST_P(UdpSocketContract, HostsWithoutAnIpv4AddressAndTakenPortsFailWithTheirReason) {
  const auto unresolved = GetParam().make({"127.0.0.1", 0}, {"::1", 9}, "127.0.0.1");
  ASSERT_FALSE(unresolved);
  EXPECT_EQ(unresolved.error().rfind("cannot resolve ::1", 0), 0u) << unresolved.error();

  const auto first = make({"127.0.0.1", 0}, {"127.0.0.1", 9}, "127.0.0.1");
  ASSERT_NE(first, nullptr);
  const std::string taken = "127.0.0.1:" + std::to_string(first->local_port());
  const auto second =
      GetParam().make({"127.0.0.1", first->local_port()}, {"127.0.0.1", 9}, "127.0.0.1");
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().rfind("cannot listen on " + taken, 0), 0u) << second.error();
}

}  // namespace
}  // namespace kavri::testing
