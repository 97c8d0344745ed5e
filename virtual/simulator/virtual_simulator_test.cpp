#include "virtual/simulator/virtual_simulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "server/in_process_transport.h"
#include "server/request_server.h"
#include "simlink/endpoint_posix.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "simlink/transport_posix.h"
#include "testing/eventually.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

TEST(OffsetSpaceTest, ClientVersionIsKeptApartFromTheCheckPattern) {
  OffsetSpace space;
  FakeEnv env;
  for (int client_number = 0; client_number < 2; ++client_number) {
    auto transport = make_in_process_transport(space);
    IpcClient client(env, *transport);
    IpcResult result;
    EXPECT_TRUE(client.ipc_open(0, result)) << "client " << client_number;
  }
  EXPECT_EQ(space.client_version(), CLIENT_VERSION);
  EXPECT_EQ(space.get(OFFSET_SIMULATOR_VERSION, 4), VIRTUAL_SIMULATOR_VERSION);
}

TEST(OffsetSpaceTest, VersionWordsAndPinsHold) {
  OffsetSpace space;
  {
    auto batch = space.lock_batch();
    const std::uint8_t ones[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_TRUE(batch.client_write(0x3300, ones));
    EXPECT_FALSE(batch.client_write(0xFFF8, ones)) << "past the end of the space";
  }
  EXPECT_EQ(space.get(0x3300, 4), 0x01010101u);
  EXPECT_EQ(space.get(OFFSET_SERVER_VERSION, 4), VIRTUAL_SERVER_VERSION);
  EXPECT_EQ(space.get(OFFSET_SIMULATOR_VERSION, 4), VIRTUAL_SIMULATOR_VERSION);
  EXPECT_EQ(space.client_version(), 0x0101);
  EXPECT_EQ(space.get(0x330C, 4), 0x01010101u);

  space.pin(0x0BC0, 2, 500);
  space.set(0x0BBF, 4, 0xFFFFFFFF);
  EXPECT_EQ(space.get(0x0BC0, 2), 500u);
  EXPECT_EQ(space.get(0x0BBF, 1), 0xFFu);
  EXPECT_EQ(space.get(0x0BC2, 1), 0xFFu);
  std::uint8_t out[4];
  EXPECT_FALSE(space.read(0xFFFE, out));
  EXPECT_TRUE(space.read(0xFFFC, out));
}

// Builds a block of records by hand, as a client that does not follow the rules might.
class Block {
 public:
  Block& read(std::uint32_t offset, std::uint32_t size) {
    return record(IPC_READ_TYPE, offset, size, 16);
  }
  Block& write(std::uint32_t offset, std::uint32_t size) {
    return record(IPC_WRITE_TYPE, offset, size, 12);
  }
  Block& raw(std::uint32_t word) {
    store_le32(&area[at], word);
    at += 4;
    return *this;
  }
  std::uint32_t serve(OffsetSpace& space) { return carry_out_requests(space, area, {}); }

  std::vector<std::uint8_t> area = std::vector<std::uint8_t>(IPC_AREA_SIZE, 0);
  std::size_t at = 0;

 private:
  Block& record(std::uint32_t type, std::uint32_t offset, std::uint32_t size, std::size_t header) {
    store_le32(&area[at], type);
    store_le32(&area[at + 4], offset);
    store_le32(&area[at + 8], size);
    at += header + size;
    return *this;
  }
};

TEST(RequestServerTest, MalformedBlocksAnswerZero) {
  OffsetSpace space;
  EXPECT_EQ(Block().read(0x3304, 4).write(0x0BC0, 2).serve(space), 1u);
  EXPECT_EQ(Block().read(0, 4).raw(3).serve(space), 0u) << "unknown type";
  EXPECT_EQ(Block().raw(IPC_READ_TYPE).raw(0).raw(0x7FFF).serve(space), 0u) << "data past the area";
  Block full;
  full.write(0, static_cast<std::uint32_t>(IPC_AREA_SIZE - 12));
  EXPECT_EQ(full.serve(space), 0u) << "no room left for an end marker";
  Block edge;
  edge.write(0, static_cast<std::uint32_t>(IPC_AREA_SIZE - 12 - 8)).raw(IPC_WRITE_TYPE);
  EXPECT_EQ(edge.serve(space), 0u) << "a header across the end";
  EXPECT_EQ(carry_out_requests(space, {}, {}), 0u);
}

TEST(RequestServerTest, ARecordOutsideTheSpaceIsSkippedAndTheOthersCarriedOut) {
  OffsetSpace space;
  space.set(0x0BC0, 2, 0x1234);
  Block block;
  block.read(0xFFFE, 4).read(0x0BC0, 2).write(0xFFFF, 2).write(0x0BC4, 2).raw(0);
  std::memset(&block.area[16], 0x77, 4);  // what a careless client left in a read's data
  block.area[64] = 9;
  std::vector<std::uint32_t> written;
  EXPECT_EQ(carry_out_requests(space, block.area,
                               [&](std::uint32_t offset, std::span<const std::uint8_t>) {
                                 written.push_back(offset);
                               }),
            1u);
  EXPECT_EQ(load_le32(&block.area[16]), 0u) << "the read past the space gets zeros";
  EXPECT_EQ(block.area[36] | block.area[37] << 8, 0x1234);
  EXPECT_EQ(space.get(0x0BC4, 2), 9u);
  EXPECT_EQ(written, std::vector<std::uint32_t>{0x0BC4});
}

TEST(RequestServerTest, RecordsAreCarriedOutInOrderAndHeadersKept) {
  OffsetSpace space;
  Block block;
  block.write(0x0BC0, 2);
  block.area[12] = 0x34;
  block.area[13] = 0x12;
  block.read(0x0BC0, 2).raw(0);
  const std::vector<std::uint8_t> headers(block.area.begin() + 14, block.area.begin() + 30);
  std::vector<std::uint32_t> seen;
  EXPECT_EQ(carry_out_requests(space, block.area,
                               [&](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
                                 seen.push_back(offset);
                                 seen.push_back(static_cast<std::uint32_t>(bytes.size()));
                               }),
            1u);
  EXPECT_EQ(block.area[30], 0x34);
  EXPECT_EQ(block.area[31], 0x12);
  EXPECT_EQ(std::vector<std::uint8_t>(block.area.begin() + 14, block.area.begin() + 30), headers);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x0BC0, 2}));
}

// Raw frames against the POSIX server: whatever a client sends, the server answers or drops
// that connection, and keeps serving the others.
class PosixServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimOptions options;
    options.directory = scratch.path();
    options.fly = false;
    sim = std::make_unique<VirtualSimulator>(env, options);
    ASSERT_TRUE(succeeded(sim->start()));
  }

  int connect_to_server() {
    return connect_ipc_socket(ipc_socket_path(scratch.path(), IpcServerClass::uipcmain));
  }

  // The reply to one request naming `name`, with `length` in its name length field, or -1 when
  // the server dropped the connection instead. The reply must carry the request's number.
  std::int64_t reply_to(int fd, const std::string& name, std::uint32_t length,
                        std::uint32_t used = 4, std::uint32_t tag = IPC_FRAME_TAG) {
    std::vector<std::uint8_t> frame(IPC_FRAME_HEADER);
    store_le32(frame.data(), tag);
    store_le32(frame.data() + 4, ++sequence);
    store_le32(frame.data() + 8, used);
    store_le32(frame.data() + 12, length);
    frame.insert(frame.end(), name.begin(), name.end());
    for (std::uint8_t byte : frame) {  // one byte at a time: the server must gather them
      if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) return -1;
    }
    std::uint8_t reply[IPC_REPLY_SIZE];
    std::size_t got = 0;
    while (got < sizeof reply) {
      const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
      if (n <= 0) return -1;
      got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(load_le32(reply), sequence);
    return load_le32(reply + 4);
  }

  FakeEnv env;
  ScratchDirectory scratch;
  std::unique_ptr<VirtualSimulator> sim;
  std::uint32_t sequence = 0;
};

TEST_F(PosixServerTest, BadRequestsAnswerZeroOrDropOnlyTheirConnection) {
  const int fd = connect_to_server();
  ASSERT_GE(fd, 0);
  EXPECT_EQ(reply_to(fd, "FsasmLib:IPC:none:1", 19), 0) << "no such area";
  EXPECT_EQ(reply_to(fd, "../etc/passwd", 13), 0) << "not an area name";
  const std::string name = "kavri-test-area-" + std::to_string(getpid());
  const int area = shm_open(("/" + name).c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
  ASSERT_GE(area, 0);
  const auto length = static_cast<std::uint32_t>(name.size());
  ASSERT_EQ(ftruncate(area, 64), 0);
  EXPECT_EQ(reply_to(fd, name, length), 0) << "area too small";
  ASSERT_EQ(ftruncate(area, IPC_AREA_SIZE), 0);
  EXPECT_EQ(reply_to(fd, name, length), 1) << "an empty block";
  EXPECT_EQ(reply_to(fd, name, length, 0), 0) << "no room for an end marker";
  EXPECT_EQ(reply_to(fd, name, length, IPC_AREA_SIZE + 4), 0) << "more than the area";
  ASSERT_EQ(ftruncate(area, 0), 0);
  EXPECT_EQ(reply_to(fd, name, length), 0) << "shrunk while the server holds it";
  ASSERT_EQ(ftruncate(area, IPC_AREA_SIZE), 0);
  EXPECT_EQ(reply_to(fd, name, length), 1) << "whole again";
  close(area);
  shm_unlink(("/" + name).c_str());
  EXPECT_EQ(reply_to(fd, "", 0), -1) << "a name length of 0 is not this protocol";
  close(fd);

  const int huge = connect_to_server();
  EXPECT_EQ(reply_to(huge, "x", 0x10000), -1) << "a name past 255 bytes";
  close(huge);
  const int version1 = connect_to_server();  // whose first word is the name's length
  EXPECT_EQ(reply_to(version1, "FsasmLib:IPC:none:1", 19, 4, 19), -1) << "version 1";
  close(version1);

  // The server is still there for a real client.
  auto transport = make_posix_transport({scratch.path()});
  IpcClient client(env, *transport);
  IpcResult result;
  EXPECT_TRUE(client.ipc_open(0, result));
}

// Connections that hold the server without asking anything: half a request is dropped after
// a client's attempt, and a full table of idle ones still lets a new client in.
TEST_F(PosixServerTest, IdleOrHalfSentConnectionsNeverKeepANewClientOut) {
  const int half = connect_to_server();
  ASSERT_GE(half, 0);
  const std::uint8_t header_start[5] = {0x4B, 0x49, 0x50, 0x32, 1};
  ASSERT_EQ(send(half, header_start, sizeof header_start, MSG_NOSIGNAL), 5);
  const timeval give_up{3 * IPC_ATTEMPT_BOUND.count() / 1000, 0};
  ASSERT_EQ(setsockopt(half, SOL_SOCKET, SO_RCVTIMEO, &give_up, sizeof give_up), 0);
  std::uint8_t byte = 0;
  EXPECT_EQ(recv(half, &byte, 1, 0), 0) << "the server closes a half-sent request";
  close(half);

  std::vector<int> idle;
  for (int i = 0; i < 64; ++i) idle.push_back(connect_to_server());
  auto transport = make_posix_transport({scratch.path()});
  IpcClient client(env, *transport);
  IpcResult result;
  EXPECT_TRUE(
      testing::eventually([&] { return client.ipc_open(0, result); }, std::chrono::seconds(10)));
  client.ipc_close();
  for (const int fd : idle) close(fd);
}

// A full table of busy connections whose every request names an area that does not exist
// (each answered 0, well within a client's attempt) still gives way to a client it can serve.
TEST_F(PosixServerTest, BusyClientsWhoseRequestsAllFailNeverKeepANewClientOut) {
  std::vector<int> busy;
  for (int tries = 0; busy.size() < 64 && tries < 1000; ++tries) {
    const int fd = connect_to_server();  // one at a time, each answered: all 64 in the table
    if (fd >= 0 && reply_to(fd, "x", 1) == 0) {
      busy.push_back(fd);
    } else if (fd >= 0) {
      close(fd);
    }
  }
  ASSERT_EQ(busy.size(), 64u);
  Worker asking = env.start_thread([&](std::stop_token stop) {
    while (!stop.stop_requested()) {
      for (const int fd : busy) reply_to(fd, "x", 1);  // 17 bytes, answered 0
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  auto transport = make_posix_transport({scratch.path()});
  IpcClient client(env, *transport);
  IpcResult result;
  EXPECT_TRUE(
      testing::eventually([&] { return client.ipc_open(0, result); }, std::chrono::seconds(15)));
  asking.stop_and_join();
  client.ipc_close();
  for (const int fd : busy) close(fd);
}

// A system out of threads refuses one of the simulator's (the listener's, the flight's, a
// client's connection): the simulator says why and serves at the next try; a client turned
// away leaves the server to the next one.
TEST(VirtualSimulatorTest, AThreadTheSystemRefusesIsSaidAndTheNextTryServes) {
  for (const auto& [refused, reason] : {std::pair{1, "cannot start the link server thread"},
                                        {2, "cannot start the flight thread"}}) {
    SCOPED_TRACE(reason);
    FakeEnv env;
    ScratchDirectory scratch;
    SimOptions options;
    options.directory = scratch.path();
    VirtualSimulator sim(env, options);
    env.refuse_start(refused);
    const Status refused_start = sim.start();
    ASSERT_FALSE(refused_start);
    EXPECT_TRUE(refused_start.error().starts_with(reason)) << refused_start.error();
    const std::string socket = ipc_socket_path(scratch.path(), IpcServerClass::uipcmain);
    EXPECT_FALSE(std::filesystem::exists(socket)) << "no socket that nobody answers";
    EXPECT_TRUE(succeeded(sim.start()));

    env.refuse_start(1);  // the first client's connection
    auto transport = make_posix_transport({scratch.path()});
    IpcClient client(env, *transport);
    IpcResult result;
    EXPECT_TRUE(
        testing::eventually([&] { return client.ipc_open(0, result); }, std::chrono::seconds(10)));
  }
}

TEST(SimProfileTest, RampsHoldsAndLoops) {
  const auto profile = SimProfile::parse(
      "# comment\n"
      "loop 10\n"
      "  0 $0BC0:2 100 # a trailing comment\n"
      "4 $0BC0:2 200 ramp\n"
      "6 $0BC0:2 -1\n"
      "2.5 3000:8f 1.5\n"
      "1 %1000:1 $FF\n");
  ASSERT_TRUE(succeeded(profile));
  OffsetSpace space;
  profile->apply(space, 0);
  EXPECT_EQ(space.get(0x0BC0, 2), 100u);
  EXPECT_EQ(space.get(3000, 8), 0u) << "nothing before a track's first key";
  profile->apply(space, 2000);
  EXPECT_EQ(space.get(0x0BC0, 2), 150u);
  EXPECT_EQ(space.get(8, 1), 0xFFu);
  profile->apply(space, 3000);
  EXPECT_EQ(std::bit_cast<double>(space.get(3000, 8)), 1.5);
  profile->apply(space, 5000);
  EXPECT_EQ(space.get(0x0BC0, 2), 200u) << "held until the next key";
  profile->apply(space, 7000);
  EXPECT_EQ(space.get(0x0BC0, 2), 0xFFFFu);
  profile->apply(space, 12000);
  EXPECT_EQ(space.get(0x0BC0, 2), 150u) << "looped";
}

TEST(SimProfileTest, RampBetweenExtremeValuesStaysBetweenThem) {
  const auto profile = SimProfile::parse("0 $02CC:8f 1e308\n10 $02CC:8f -1e308 ramp\n");
  ASSERT_TRUE(succeeded(profile));
  for (const std::int64_t t : {0, 1, 2500, 5000, 9999, 10000}) {
    const double value = *profile->value_at(profile->tracks()[0], t);
    EXPECT_TRUE(value <= 1e308 && value >= -1e308) << t << " ms: " << value;
  }
  EXPECT_EQ(*profile->value_at(profile->tracks()[0], 5000), 0.0);
}

TEST(SimProfileTest, BadLinesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"0 $0BC0:3 1", "line 1: bad place"},
      {"\n0 $FFFF:2 1", "line 2: bad place"},
      {"0 $0BC0:2 twelve", "line 1: bad number"},
      {"0 $0BC0:2", "line 1: expected"},
      {"0 $0BC0:2 1 slide", "line 1: expected"},
      {"-1 $0BC0:2 1", "line 1: bad time"},
      {"loop 0", "line 1: expected \"loop"},
      {"0 $0BC0:8f 1.5x", "line 1: bad number"},
      {"0 $02CC:8f nan", "line 1: bad number"},
      {"0 $0918:8f -Infinity", "line 1: bad number"},
      {"0 $02CC:8f inf", "line 1: bad number"},
      {"0 $02CC:8f 1e400", "line 1: bad number"},
      {"0 $7FFFFFFFFFFFFFFF:8 1", "line 1: bad place"},
      {"0 $10000000000000BC0:2 1", "line 1: bad place"},  // would wrap to $0BC0
  };
  for (const auto& [text, message] : cases) {
    const std::string error = failure_message(SimProfile::parse(text));
    EXPECT_EQ(error.rfind(message, 0), 0u) << text << " gave " << error;
  }
  // A bad word is quoted by its start only, whatever its length.
  const std::string error =
      failure_message(SimProfile::parse("0 $0BC0:2 " + std::string(100000, 'x')));
  EXPECT_FALSE(error.empty());
  EXPECT_LT(error.size(), 80u);
}

TEST(SimProfileTest, PinsReadByTheNumberTextRule) {
  const auto pin = parse_pin("$0BC0:2=-5");
  ASSERT_TRUE(pin);
  EXPECT_EQ(pin->offset, 0x0BC0u);
  EXPECT_EQ(pin->size, 2u);
  EXPECT_EQ(pin->value, -5);
  EXPECT_EQ(parse_pin("3304:4=%101")->value, 5);
  for (const char* bad : {"$0BC0:2", "$0BC0=1", "$0BC0:3=1", "$0BC0:2=x", "$FFFF:2=1", ":2=1",
                          "$7FFFFFFFFFFFFFFF:8=1"}) {
    EXPECT_FALSE(parse_pin(bad)) << bad;
  }
}

TEST(SimProfileTest, DemoFlightMovesEveryBenchGaugeAndTogglesTheLights) {
  const SimProfile demo = SimProfile::demo_flight();
  EXPECT_GE(demo.loop_ms(), 50000);
  EXPECT_LE(demo.loop_ms(), 90000);
  struct Range {
    std::uint32_t offset, size;
    std::int64_t low, high;
  };
  const Range ranges[] = {{0x0BC0, 2, 0, 16383},      {0x0BC2, 2, -16383, 16383},
                          {0x0580, 4, 0, 359},        {0x0B7C, 4, 0, 8388600},
                          {0x0E8C, 2, -12800, 12800}, {0x0BDC, 4, 0, 16383},
                          {0x0D0C, 2, 0, 4}};
  for (const Range& range : ranges) {
    std::set<std::int64_t> seen;
    for (std::int64_t t = 0; t < demo.loop_ms(); t += 250) {
      for (const auto& track : demo.tracks()) {
        if (track.offset != range.offset) continue;
        const auto value = demo.value_at(track, t);
        ASSERT_TRUE(value) << std::hex << range.offset;
        seen.insert(std::llround(*value));
      }
    }
    EXPECT_EQ(*seen.begin(), range.low) << std::hex << range.offset;
    EXPECT_EQ(*seen.rbegin(), range.high) << std::hex << range.offset;
    if (range.offset == 0x0D0C) {
      EXPECT_EQ(seen, (std::set<std::int64_t>{0, 4}));
    }
  }
  OffsetSpace space;
  demo.apply(space, 12345);
  EXPECT_EQ(space.get(0x281C, 2), 1u);
}

}  // namespace
}  // namespace kavri
