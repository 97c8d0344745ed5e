#include "simlink/ipc_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "server/offset_space.h"
#include "server/request_server.h"
#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"

namespace kavri {
namespace {

// A server in the test's hands: by default it carries out the block against an offset space
// as the virtual simulator does; `serve` can make it answer anything.
class ScriptedTransport final : public IpcTransport {
 public:
  std::optional<IpcServerClass> server = IpcServerClass::uipcmain;
  std::function<IpcReply(std::span<std::uint8_t>)> serve;
  OffsetSpace space;
  std::vector<std::string> names;
  int exchanges = 0;

  std::uint32_t process_id() override { return 0x1A2B; }
  std::optional<IpcServerClass> find_server() override { return server; }
  bool register_message() override { return true; }
  IpcResult create_area(const std::string& name) override {
    names.push_back(name);
    area_.assign(IPC_AREA_SIZE, 0xEE);  // stale bytes, as a reused mapping may hold
    return IpcResult::ok;
  }
  std::span<std::uint8_t> area() override { return area_; }
  IpcReply exchange(std::size_t, Millis, std::stop_token) override {
    ++exchanges;
    if (serve) return serve(area_);
    return IpcReply{true, carry_out_requests(space, area_, {}), false};
  }
  void close() override { area_.clear(); }

 private:
  std::vector<std::uint8_t> area_;
};

class IpcClientTest : public ::testing::Test {
 protected:
  void open() {
    ASSERT_TRUE(client.ipc_open(0, result));
    transport.exchanges = 0;
    env.clear_sleeps();
  }

  FakeEnv env;
  ScriptedTransport transport;
  IpcClient client{env, transport};
  IpcResult result = IpcResult::ok;
};

TEST_F(IpcClientTest, QueueLimitsCountTheMarginOf16ForReadsAndWrites) {
  open();
  std::vector<std::uint32_t> values(1625, 0);
  for (std::uint32_t& value : values) {
    ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
  }
  std::uint32_t refused = 7;
  EXPECT_FALSE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &refused, result));
  EXPECT_EQ(result, IpcResult::too_large);
  // The refusal kept the 1,625 earlier requests; the refused one gets nothing.
  ASSERT_TRUE(client.ipc_process(result));
  EXPECT_EQ(values.front(), VIRTUAL_SERVER_VERSION);
  EXPECT_EQ(values.back(), VIRTUAL_SERVER_VERSION);
  EXPECT_EQ(refused, 7u);

  // 12 + 32,497 bytes would fit, but the margin of 16 refuses it.
  EXPECT_FALSE(client.ipc_write(0, 32497, nullptr, result));
  EXPECT_EQ(result, IpcResult::too_large);
  std::vector<std::uint8_t> bytes(32484, 0x5A);
  ASSERT_TRUE(client.ipc_write(0x100, 32484, bytes.data(), result));  // 32,496 queued
  EXPECT_TRUE(client.ipc_write(0, 0, nullptr, result));               // 32,496 + 16 fits
  EXPECT_FALSE(client.ipc_write(0, 0, nullptr, result));              // 32,508 + 16 does not
  EXPECT_EQ(result, IpcResult::too_large);
  ASSERT_TRUE(client.ipc_process(result));
  EXPECT_EQ(transport.space.get(0x100 + 32483, 1), 0x5Au);

  // A size near 2^32 must not wrap past the check.
  EXPECT_FALSE(client.ipc_read(0, 0xFFFFFFFF, &refused, result));
  EXPECT_EQ(result, IpcResult::too_large);
}

TEST_F(IpcClientTest, CallsOutOfOrderAreRefusedWithoutAnExchange) {
  std::uint32_t value = 0;
  EXPECT_FALSE(client.ipc_read(0, 4, &value, result));
  EXPECT_EQ(result, IpcResult::not_open);
  EXPECT_FALSE(client.ipc_write(0, 4, &value, result));
  EXPECT_EQ(result, IpcResult::not_open);
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::not_open);

  open();
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::nothing_queued);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::already_open);
  EXPECT_EQ(transport.exchanges, 0);
  // The second open left the link intact.
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
  EXPECT_TRUE(client.ipc_process(result));
  EXPECT_EQ(value, VIRTUAL_SERVER_VERSION);
  client.ipc_close();
  client.ipc_close();  // harmless twice
  EXPECT_FALSE(client.is_open());
}

TEST_F(IpcClientTest, SizeZeroAndNullDestinationsCopyNothing) {
  open();
  std::uint32_t untouched = 0xCAFE;
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 0, &untouched, result));
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, nullptr, result));
  ASSERT_TRUE(client.ipc_process(result));
  EXPECT_EQ(untouched, 0xCAFEu);
}

TEST_F(IpcClientTest, AreaNamesCountOpensInUpperCaseHexadecimal) {
  for (int i = 0; i < 11; ++i) {
    ASSERT_TRUE(client.ipc_open(0, result));
    client.ipc_close();
  }
  ASSERT_EQ(transport.names.size(), 11u);
  EXPECT_EQ(transport.names[0], "FsasmLib:IPC:1A2B:1");
  EXPECT_EQ(transport.names[1], "FsasmLib:IPC:1A2B:2");
  EXPECT_EQ(transport.names[10], "FsasmLib:IPC:1A2B:B");
}

TEST_F(IpcClientTest, FailedExchangesEmptyTheQueueAndLeaveDestinations) {
  open();
  std::uint32_t value = 0x11111111;
  transport.serve = [](std::span<std::uint8_t>) { return IpcReply{true, 0, false}; };
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::bad_reply);
  EXPECT_EQ(value, 0x11111111u);
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::nothing_queued);

  // No answer at all: 9 attempts, each followed by a 100 ms pause.
  for (bool system_error : {false, true}) {
    transport.serve = nullptr;
    client.ipc_close();
    open();
    transport.serve = [system_error](std::span<std::uint8_t> area) {
      std::memset(area.data() + IPC_READ_HEADER, 0x77, 4);  // must never reach a destination
      return IpcReply{false, 0, system_error};
    };
    ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
    EXPECT_FALSE(client.ipc_process(result));
    EXPECT_EQ(result, system_error ? IpcResult::send_error : IpcResult::send_failed);
    EXPECT_EQ(transport.exchanges, 9);
    EXPECT_EQ(env.sleeps(), std::vector<std::int64_t>(9, 100));
    EXPECT_EQ(value, 0x11111111u);

    // The server is gone: until the link is closed, an exchange fails at once the same way.
    transport.exchanges = 0;
    ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
    EXPECT_FALSE(client.ipc_process(result));
    EXPECT_EQ(result, system_error ? IpcResult::send_error : IpcResult::send_failed);
    EXPECT_EQ(transport.exchanges, 0);
    EXPECT_TRUE(client.link_lost());
  }
  transport.serve = nullptr;
  client.ipc_close();
  EXPECT_FALSE(client.link_lost());
  open();
  // An attempt that succeeds after failures ends the retries.
  int failures = 2;
  transport.serve = [&](std::span<std::uint8_t> area) {
    if (failures-- > 0) return IpcReply{false, 0, true};
    return IpcReply{true, carry_out_requests(transport.space, area, {}), false};
  };
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
  EXPECT_TRUE(client.ipc_process(result));
  EXPECT_EQ(value, VIRTUAL_SERVER_VERSION);
}

TEST_F(IpcClientTest, AStopRequestEndsTheAttemptsWithoutCallingTheLinkLost) {
  open();
  std::stop_source stopper;
  transport.serve = [&](std::span<std::uint8_t>) {
    if (transport.exchanges == 2) stopper.request_stop();  // the thread is asked to stop
    return IpcReply{false, 0, false};
  };
  std::uint32_t value = 0;
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &value, result));
  EXPECT_FALSE(client.ipc_process(result, stopper.get_token()));
  EXPECT_EQ(result, IpcResult::send_failed);
  EXPECT_EQ(transport.exchanges, 2);
  EXPECT_FALSE(client.link_lost());
}

TEST_F(IpcClientTest, OpenFailsWithoutServerOrWithVersionsThatDoNotPass) {
  transport.server.reset();
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);
  EXPECT_TRUE(transport.names.empty());

  transport.server = IpcServerClass::uipcmain;
  transport.space.pin(OFFSET_SERVER_VERSION, 4, 0x19980004);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::version_uipcmain);
  EXPECT_EQ(transport.exchanges, 1);  // both versions known after one pass
  EXPECT_FALSE(client.is_open());

  // A simulator side that never fills its versions: five passes, then 14.
  transport.server = IpcServerClass::fs98main;
  transport.space.pin(OFFSET_SERVER_VERSION, 4, 0);
  transport.space.pin(OFFSET_SIMULATOR_VERSION, 4, 0);
  transport.exchanges = 0;
  env.clear_sleeps();
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::version_fs98main);
  EXPECT_EQ(transport.exchanges, 5);
  EXPECT_EQ(env.sleeps(), std::vector<std::int64_t>(5, 100));

  // The check pattern missing fails too.
  transport.server = IpcServerClass::uipcmain;
  transport.space.pin(OFFSET_SERVER_VERSION, 4, 0x19980005);
  transport.space.pin(OFFSET_SIMULATOR_VERSION, 4, 0xFADF000C);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::version_uipcmain);
}

TEST_F(IpcClientTest, HandshakeWritesTheClientVersionAndChecksTheSimulator) {
  EXPECT_FALSE(client.ipc_open(0x0D, result));
  EXPECT_EQ(result, IpcResult::wrong_simulator);
  EXPECT_FALSE(client.is_open());
  EXPECT_TRUE(client.ipc_open(0x0C, result));  // the high half is cleared before comparing
  EXPECT_EQ(transport.space.client_version(), CLIENT_VERSION);
}

TEST_F(IpcClientTest, ServerStillStartingIsWaitedFor) {
  int passes = 0;
  transport.serve = [&](std::span<std::uint8_t> area) {
    if (++passes == 3) transport.space.set(OFFSET_SERVER_VERSION, 4, VIRTUAL_SERVER_VERSION);
    return IpcReply{true, carry_out_requests(transport.space, area, {}), false};
  };
  transport.space.set(OFFSET_SERVER_VERSION, 4, 0);
  EXPECT_TRUE(client.ipc_open(0, result));
  EXPECT_EQ(passes, 3);
}

// A server that carries out the block, answers 1, and breaks the block: any header changed
// fails the exchange. The batch: read A (4 bytes) at 0, read B (2 bytes) at 20, a write
// (2 bytes) at 38, read C (4 bytes) at 52, end marker at 72.
struct Corruption {
  const char* what;
  std::function<void(std::uint8_t* area)> apply;
  friend void PrintTo(const Corruption& corruption, std::ostream* out) { *out << corruption.what; }
};

class HostileServerTest : public IpcClientTest, public ::testing::WithParamInterface<Corruption> {};

TEST_P(HostileServerTest, ABrokenBlockFailsTheExchangeAndWritesNoDestination) {
  open();
  transport.space.set(0x0BC0, 2, 0x1234);
  transport.serve = [this](std::span<std::uint8_t> area) {
    const std::uint32_t reply = carry_out_requests(transport.space, area, {});
    GetParam().apply(area.data());
    return IpcReply{true, reply, false};
  };
  // Exact-size heap destinations, so the address sanitizer sees any byte written past them.
  auto a = std::make_unique<std::uint8_t[]>(4);
  auto b = std::make_unique<std::uint8_t[]>(2);
  auto c = std::make_unique<std::uint8_t[]>(4);
  std::memset(a.get(), 0xAA, 4);
  std::memset(b.get(), 0xBB, 2);
  std::memset(c.get(), 0xCC, 4);
  const std::uint16_t word = 7;
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, a.get(), result));
  ASSERT_TRUE(client.ipc_read(0x0BC0, 2, b.get(), result));
  ASSERT_TRUE(client.ipc_write(0x0BC4, 2, &word, result));
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, c.get(), result));
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::bad_reply);
  EXPECT_EQ(load_le32(a.get()), 0xAAAAAAAAu) << "a failed exchange copies nothing";
  EXPECT_EQ(b[0], 0xBB);
  EXPECT_EQ(load_le32(c.get()), 0xCCCCCCCCu);
  // The client stays usable after any of it.
  transport.serve = nullptr;
  std::uint32_t version = 0;
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_TRUE(client.ipc_process(result));
  EXPECT_EQ(version, VIRTUAL_SERVER_VERSION);
}

INSTANTIATE_TEST_SUITE_P(
    Corruptions, HostileServerTest,
    ::testing::Values(
        Corruption{"read size grown", [](std::uint8_t* area) { store_le32(area + 8, 8); }},
        Corruption{"read size past the area",
                   [](std::uint8_t* area) { store_le32(area + 8, 0xFFFFFFFF); }},
        Corruption{"token past the table", [](std::uint8_t* area) { store_le32(area + 32, 1000); }},
        Corruption{"token of a read of another size",
                   [](std::uint8_t* area) { store_le32(area + 32, 1); }},
        Corruption{"write length past the area",
                   [](std::uint8_t* area) { store_le32(area + 46, 0x7FFF); }},
        Corruption{"records up to the very end, no marker",
                   [](std::uint8_t* area) {
                     store_le32(area + 72, IPC_WRITE_TYPE);
                     store_le32(area + 80, IPC_AREA_SIZE - 72 - IPC_WRITE_HEADER);
                   }},
        Corruption{"a header across the end",
                   [](std::uint8_t* area) {
                     store_le32(area + 72, IPC_WRITE_TYPE);
                     store_le32(area + 80, IPC_AREA_SIZE - 8 - 72 - IPC_WRITE_HEADER);
                     store_le32(area + IPC_AREA_SIZE - 8, IPC_READ_TYPE);
                   }},
        Corruption{"unknown type", [](std::uint8_t* area) { store_le32(area + 52, 9); }},
        Corruption{"offset rewritten", [](std::uint8_t* area) { store_le32(area + 24, 0); }},
        Corruption{"block wiped", [](std::uint8_t* area) { std::memset(area, 0, 80); }}),
    [](const ::testing::TestParamInfo<Corruption>& param_info) {
      std::string name = param_info.param.what;
      for (char& ch : name) {
        if (ch == ' ' || ch == ',') ch = '_';
      }
      return name;
    });

}  // namespace
}  // namespace kavri
