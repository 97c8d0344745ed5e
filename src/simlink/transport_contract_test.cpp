// What the client may count on from any transport: run on the POSIX and in-process transports
// with the link's tests, and on the Win32 transport under Wine.
#include "testing/transport_contract.h"

#include <vector>

namespace kavri::testing {
namespace {

TEST_P(IpcTransportContract, ExchangesCarryOutTheRecordsInOrderAndCloseReleasesTheArea) {
  ASSERT_TRUE(rig->serve(IpcServerClass::uipcmain));
  space.set(0x0BC0, 2, 12345);
  space.set(0x0580, 4, static_cast<std::uint32_t>(-5));
  EXPECT_TRUE(rig->transport().area().empty());
  ASSERT_TRUE(client->ipc_open(0, result)) << static_cast<int>(result);
  EXPECT_GE(rig->transport().area().size(), IPC_AREA_SIZE);
  EXPECT_EQ(space.client_version(), CLIENT_VERSION);
  if (rig->traits().names_areas) {
    EXPECT_TRUE(rig->holds_name(area_name(1)));
  }

  std::uint16_t trim = 0, flaps_back = 0;
  std::int32_t heading = 0;
  std::uint32_t version = 0;
  const std::uint16_t flaps = 8192;
  ASSERT_TRUE(client->ipc_write(0x0BDC, 2, &flaps, result));
  ASSERT_TRUE(client->ipc_read(0x0BC0, 2, &trim, result));
  ASSERT_TRUE(client->ipc_read(0x0580, 4, &heading, result));
  ASSERT_TRUE(client->ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  ASSERT_TRUE(client->ipc_read(0x0BDC, 2, &flaps_back, result));
  ASSERT_TRUE(client->ipc_process(result)) << static_cast<int>(result);
  EXPECT_EQ(trim, 12345);
  EXPECT_EQ(heading, -5);
  EXPECT_EQ(version, VIRTUAL_SERVER_VERSION);
  EXPECT_EQ(flaps_back, flaps);  // the write is carried out before the read that follows it
  EXPECT_EQ(space.get(0x0BDC, 2), flaps);

  client->ipc_close();
  EXPECT_TRUE(rig->transport().area().empty());
  EXPECT_FALSE(rig->holds_name(area_name(1)));
  rig->transport().close();  // harmless with nothing held

  // A failed open releases its area too.
  space.pin(OFFSET_SERVER_VERSION, 4, 0x19980004);
  EXPECT_FALSE(client->ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::version_uipcmain);
  EXPECT_TRUE(rig->transport().area().empty());
  EXPECT_FALSE(rig->holds_name(area_name(2)));
}

TEST_P(IpcTransportContract, AnAreaNameHeldElsewhereFailsTheOpenAndStaysItsOwners) {
  if (!rig->traits().names_areas) GTEST_SKIP() << "its area goes by no name";
  ASSERT_TRUE(rig->serve(IpcServerClass::uipcmain));
  ASSERT_TRUE(rig->occupy_area(area_name(1)));
  EXPECT_FALSE(client->ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::area_failed);
  EXPECT_TRUE(rig->occupant_intact());
  EXPECT_FALSE(rig->holds_name(area_name(1)));  // whatever the failed open made is released
  EXPECT_TRUE(client->ipc_open(0, result)) << "the next open takes the next name";
}

TEST_P(IpcTransportContract, WithoutAServerTheOpenFailsWith2AndLeavesNothing) {
  if (!rig->traits().servers_come_and_go) GTEST_SKIP() << "its server is always there";
  EXPECT_FALSE(rig->transport().find_server());
  EXPECT_FALSE(client->ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);
  EXPECT_TRUE(rig->transport().area().empty());
  EXPECT_FALSE(rig->holds_name(area_name(1)));
}

TEST_P(IpcTransportContract, ServersAreFoundByClassUipcmainFirst) {
  if (!rig->traits().servers_come_and_go) GTEST_SKIP() << "its server goes by one class";
  ASSERT_TRUE(rig->serve(IpcServerClass::fs98main));
  EXPECT_EQ(rig->transport().find_server(), IpcServerClass::fs98main);
  ASSERT_TRUE(rig->serve(IpcServerClass::uipcmain));
  EXPECT_EQ(rig->transport().find_server(), IpcServerClass::uipcmain);
  rig->transport().close();
}

// A server gone fails the exchange with a system error after the client's attempts, with no
// destination touched; the link stays lost, even with a server back, until it is reopened (as
// the link monitor does), and the reopened link reaches the new server.
TEST_P(IpcTransportContract, AServerGoneFailsTheExchangeUntilTheLinkIsReopened) {
  if (!rig->traits().servers_come_and_go) GTEST_SKIP() << "its server cannot go";
  ASSERT_TRUE(rig->serve(IpcServerClass::uipcmain));
  ASSERT_TRUE(client->ipc_open(0, result));
  rig->stop_serving();
  env.clear_sleeps();
  std::uint32_t version = 0;
  ASSERT_TRUE(client->ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_FALSE(client->ipc_process(result));
  EXPECT_EQ(result, IpcResult::send_error);
  EXPECT_EQ(env.sleeps(), std::vector<std::int64_t>(9, 100));
  EXPECT_EQ(version, 0u);
  EXPECT_TRUE(client->link_lost());

  ASSERT_TRUE(rig->serve(IpcServerClass::uipcmain));
  ASSERT_TRUE(client->ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_FALSE(client->ipc_process(result));
  EXPECT_EQ(result, IpcResult::send_error);
  client->ipc_close();
  ASSERT_TRUE(client->ipc_open(0, result));
  ASSERT_TRUE(client->ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_TRUE(client->ipc_process(result));
  EXPECT_EQ(version, VIRTUAL_SERVER_VERSION);
}

}  // namespace
}  // namespace kavri::testing
