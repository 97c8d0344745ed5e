// The relay's limits: eight cockpits at once, a stalled cockpit never delaying another, and
// strangers (a wrong key, an address outside --allow) closed and told at most once a second.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "netlink/relay_messages.h"
#include "netlink/sealed_stream.h"
#include "netlink/transport_network.h"
#include "relay/relay_server.h"
#include "server/in_process_transport.h"
#include "simlink/ipc_client.h"
#include "testing/eventually.h"
#include "testing/fake_env.h"

namespace kavri {
namespace {

LinkKey key_of(std::uint8_t seed) {
  LinkKey key{};
  key.fill(seed);
  return key;
}

class RelayTest : public ::testing::Test {
 protected:
  // Starts a relay on loopback serving `space` to cockpits holding key_of(1).
  void start(std::vector<Ipv4Range> allow = {}, Millis send_bound = Millis(2000)) {
    RelayOptions options;
    options.listen = {"127.0.0.1", 0};
    options.key = key_of(1);
    options.allow = std::move(allow);
    options.send_bound = send_bound;
    options.local_link = [this] { return make_in_process_transport(space); };
    relay = std::make_unique<Relay>(env, std::move(options), [this](const std::string& line) {
      std::lock_guard lock(mutex);
      told.push_back(line);
    });
    ASSERT_TRUE(relay->start());
  }

  std::unique_ptr<IpcTransport> cockpit(std::uint8_t key_seed = 1) {
    return make_network_transport({{"127.0.0.1", relay->port()}, key_of(key_seed)});
  }

  std::vector<std::string> lines() {
    std::lock_guard lock(mutex);
    return told;
  }

  OffsetSpace space;
  FakeEnv env;  // real threads; the notes' clock moves only when the test moves it
  std::mutex mutex;
  std::vector<std::string> told;
  std::unique_ptr<Relay> relay;
};

TEST_F(RelayTest, EightCockpitsAreServedAndANinthOnlyOnceOneHasLeft) {
  start();
  std::vector<std::unique_ptr<IpcTransport>> cockpits;
  for (int i = 0; i < 8; ++i) {
    cockpits.push_back(cockpit());
    EXPECT_EQ(cockpits.back()->find_server(), IpcServerClass::uipcmain) << i;
  }
  EXPECT_EQ(relay->cockpits(), 8u);
  auto ninth = cockpit();
  EXPECT_FALSE(ninth->find_server());
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("already 8 cockpits"), std::string::npos) << lines()[0];

  cockpits[3]->close();
  ASSERT_TRUE(testing::eventually([&] { return relay->cockpits() == 7; }));
  EXPECT_EQ(ninth->find_server(), IpcServerClass::uipcmain);
}

// One cockpit sends requests and never reads the answers, until the relay's send to it is held
// up; another cockpit's exchanges meanwhile go on, and the stalled one is dropped at its bound.
TEST_F(RelayTest, AStalledCockpitNeverDelaysAnother) {
  start({}, Millis(4000));
  auto stream = connect_tcp({"127.0.0.1", relay->port()}, Millis(10000), {});
  ASSERT_TRUE(stream);
  SealedStream stalled(std::move(*stream), key_of(1), LinkRole::cockpit);
  ASSERT_TRUE(stalled.handshake(Millis(10000), {}));
  ASSERT_TRUE(stalled.send(encode(CockpitRequest{}), Millis(10000)));
  const auto request = encode(
      CockpitRequest{CockpitRequest::Kind::exchange, 1, std::vector<std::uint8_t>(IPC_AREA_SIZE)});
  std::atomic<int> sent{0};
  std::thread writer([&] {
    while (sent < 100000 && stalled.send(request, Millis(60000))) ++sent;
  });
  // Until the writer is held up: the relay no longer reads, being held up itself.
  for (int last = -1; last != sent.load();) {
    last = sent.load();
    std::this_thread::sleep_for(Millis(300));
  }

  const auto other = cockpit();
  IpcClient client(env, *other);
  IpcResult result = IpcResult::ok;
  ASSERT_TRUE(client.ipc_open(0, result)) << static_cast<int>(result);
  for (int i = 0; i < 20; ++i) {
    std::uint32_t version = 0;
    ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
    ASSERT_TRUE(client.ipc_process(result)) << i << ": " << static_cast<int>(result);
    EXPECT_EQ(version, VIRTUAL_SERVER_VERSION);
  }
  EXPECT_EQ(relay->cockpits(), 2u) << "the stalled cockpit was still being served";
  EXPECT_TRUE(testing::eventually([&] { return relay->cockpits() == 1; }));
  writer.join();
}

TEST_F(RelayTest, AWrongKeyIsClosedAndToldAtMostOnceASecond) {
  start();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(cockpit(2)->find_server());
  ASSERT_TRUE(testing::eventually([&] { return relay->cockpits() == 0; }));
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("did not prove the key"), std::string::npos) << lines()[0];

  env.advance(Millis(1000));
  EXPECT_FALSE(cockpit(2)->find_server());
  ASSERT_TRUE(testing::eventually([&] { return lines().size() == 2; }));
  EXPECT_NE(lines()[1].find("(3 connections closed since the last note)"), std::string::npos)
      << lines()[1];
  EXPECT_EQ(cockpit()->find_server(), IpcServerClass::uipcmain) << "the key still gets in";
}

TEST_F(RelayTest, AnAddressOutsideTheAllowedRangesIsClosed) {
  start({*parse_ipv4_range("10.0.0.0/8"), *parse_ipv4_range("192.168.0.0/16")});
  EXPECT_FALSE(cockpit()->find_server());
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("127.0.0.1, outside --allow"), std::string::npos) << lines()[0];
  EXPECT_EQ(relay->cockpits(), 0u);
}

}  // namespace
}  // namespace kavri
