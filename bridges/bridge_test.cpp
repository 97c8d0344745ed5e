// The bridge on virtual time, with its real server in a private directory and a socket that
// records what would go to FlightGear: when it serves, what bad datagrams may not do, and
// what reaches FlightGear of the driver's writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridges/fgfs_bridge.h"
#include "bridges/testdata/recorded_flight.h"
#include "bridges/xplane_bridge.h"
#include "bridges/xplane_datagrams.h"
#include "simlink/ipc_client.h"
#include "simlink/transport_posix.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

class RecordingSocket final : public UdpSocket {
 public:
  std::optional<std::size_t> receive(std::span<char>, Millis) override { return std::nullopt; }
  bool send(std::string_view datagram) override {
    if (failing) {
      note_failed_send("Network is unreachable");
      return false;
    }
    std::lock_guard lock(mutex_);
    sent_.emplace_back(datagram);
    return true;
  }
  void stranger(const std::string& sender) { note_refused_sender(sender); }
  std::uint16_t local_port() const override { return 0; }
  std::vector<std::string> sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> sent_;

 public:
  std::atomic<bool> failing{false};
};

class FgfsBridgeTest : public ::testing::Test {
 protected:
  FgfsBridgeOptions options() {
    return {IpcServerClass::uipcmain, dir.path(), {}, [this](const std::string& n) {
              news.push_back(n);
            }};
  }

  bool socket_file_exists() const { return testing::file_exists(dir.file("UIPCMAIN")); }

  // The whole offset space, to compare before and after.
  std::vector<std::uint8_t> all_offsets() {
    std::vector<std::uint8_t> bytes(OffsetSpace::SIZE);
    bridge.offsets().read(0, bytes);
    return bytes;
  }

  // The driver's side: a write of one 2-byte value through the real link.
  void driver_writes(std::uint32_t offset, std::uint16_t value) {
    IpcResult result;
    if (!client.is_open()) {
      ASSERT_TRUE(client.ipc_open(0, result)) << static_cast<int>(result);
    }
    ASSERT_TRUE(client.ipc_write(offset, 2, &value, result));
    ASSERT_TRUE(client.ipc_process(result)) << static_cast<int>(result);
  }

  ScratchDirectory dir;
  FakeEnv env;
  RecordingSocket socket;
  std::vector<std::string> news;
  FgfsBridge bridge{env, builtin_fgfs_map(), socket, options()};
  std::vector<std::string> flight = testing::recorded_flight();
  std::unique_ptr<IpcTransport> transport = make_posix_transport({dir.path()});
  IpcClient client{env, *transport};
};

TEST_F(FgfsBridgeTest, ServesFromTheFirstFrameUntilTwoSecondsPassWithoutOne) {
  env.advance(Millis(5000));
  bridge.tick();
  EXPECT_FALSE(bridge.serving());
  EXPECT_FALSE(socket_file_exists());

  bridge.take_datagram(flight[0] + "\n");
  EXPECT_TRUE(bridge.serving());
  EXPECT_TRUE(socket_file_exists());
  EXPECT_EQ(bridge.offsets().get(0x02BC, 4), 9587u);  // 74.9 kt x 128

  env.advance(Millis(1999));
  bridge.tick();
  bridge.take_datagram(flight[1] + "\r\n");
  env.advance(Millis(1999));
  bridge.tick();
  EXPECT_TRUE(bridge.serving()) << "a frame restarts the two seconds";
  env.advance(Millis(1));
  bridge.tick();
  EXPECT_FALSE(bridge.serving());
  EXPECT_FALSE(socket_file_exists());

  bridge.take_datagram(flight[2]);
  EXPECT_TRUE(bridge.serving());
  EXPECT_EQ(news, (std::vector<std::string>{
                      "frames are arriving: serving the driver",
                      "no frame from FlightGear for 2 s: the driver is no longer served",
                      "frames are arriving: serving the driver"}));
}

// A system out of threads refuses the server's thread at the first frame: the bridge says so
// and serves a second later; a refused bridge thread is said and nothing runs.
TEST_F(FgfsBridgeTest, AThreadTheSystemRefusesIsSaidAndServingTriedAgain) {
  env.refuse_start(1);
  bridge.take_datagram(flight[0]);
  EXPECT_FALSE(bridge.serving());
  ASSERT_EQ(news.size(), 1u);
  EXPECT_TRUE(news[0].starts_with("cannot serve the driver: cannot start the link server thread"))
      << news[0];
  EXPECT_FALSE(socket_file_exists());
  env.advance(Millis(1000));
  bridge.take_datagram(flight[1]);
  EXPECT_TRUE(bridge.serving());

  env.refuse_start(1);
  const Status refused = bridge.start();
  ASSERT_FALSE(refused);
  EXPECT_TRUE(refused.error().starts_with("cannot start the bridge thread")) << refused.error();
}

// `line` with its field `index` (0-based) replaced by `field`.
std::string with_field(const std::string& line, std::size_t index, const std::string& field) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) start = line.find(',', start) + 1;
  const std::size_t end = line.find(',', start);
  return line.substr(0, start) + field + (end == std::string::npos ? "" : line.substr(end));
}

TEST_F(FgfsBridgeTest, HostileDatagramsChangeNothing) {
  bridge.take_datagram(flight[0]);
  const std::vector<std::uint8_t> before = all_offsets();
  env.advance(Millis(1500));
  // Built on another line of the flight, so that taking any part of one would show.
  const std::string other = flight[400];
  const std::vector<std::pair<const char*, std::string>> hostile{
      {"largest datagram", std::string(65507, '7')},
      {"field too long", with_field(other, 0, "1" + std::string(70, '0'))},
      {"empty", ""},
      {"only a newline", "\n"},
      {"one field short", other.substr(0, other.rfind(','))},
      {"one field more", other + ",1.000000"},
      {"empty field", with_field(other, 3, "")},
      {"letters", with_field(other, 0, "abc")},
      {"trailing letters", with_field(other, 0, "75.0kt")},
      {"leading blank", with_field(other, 0, " 75.0")},
      {"plus sign", with_field(other, 0, "+75.0")},
      {"hexadecimal", with_field(other, 0, "0x4B")},
      {"beyond double", with_field(other, 0, "1e999")},
      {"two lines", other + "\n" + other + "\n"},
      {"NUL inside", with_field(other, 2,
                                std::string("4.0\0"
                                            "1",
                                            5))},
  };
  for (const auto& [name, datagram] : hostile) {
    bridge.take_datagram(datagram);
    EXPECT_EQ(all_offsets(), before) << name;
  }
  bridge.tick();
  ASSERT_FALSE(news.empty());
  EXPECT_EQ(news.back().rfind("15 datagram(s) refused, the last one: field 3", 0), 0u)
      << news.back();
  env.advance(Millis(500));
  bridge.tick();
  EXPECT_FALSE(bridge.serving()) << "a refused datagram is no frame";
  EXPECT_TRUE(socket.sent().empty());
}

// The read line of `map` at `offset`, as the index of a frame's field.
std::size_t field_of(const BridgeMap& map, std::uint32_t offset) {
  const auto reads = map.read_lines();
  return static_cast<std::size_t>(
      std::find_if(reads.begin(), reads.end(),
                   [offset](const MapLine* line) { return line->offset == offset; }) -
      reads.begin());
}

TEST_F(FgfsBridgeTest, AValueBeyondItsOffsetOrNotANumberLeavesTheRestOfTheFrameApplied) {
  bridge.take_datagram(flight[0]);
  const std::uint64_t airspeed_kt = bridge.offsets().get(0x02BC, 4);
  const std::size_t gs_flag = field_of(builtin_fgfs_map(), 0x0C4C);  // one byte
  const std::string other = flight[400];
  FgfsBridge reference{env, builtin_fgfs_map(), socket, {}};
  reference.take_datagram(other);
  for (const char* not_a_number : {"nan", "-nan", "inf", "-inf"}) {
    bridge.take_datagram(with_field(with_field(other, 0, not_a_number), gs_flag, "300.000000"));
    EXPECT_EQ(bridge.offsets().get(0x02BC, 4), airspeed_kt) << "the airspeed keeps its value";
    EXPECT_EQ(bridge.offsets().get(0x0C4C, 1), 0xFFu) << "the byte's highest";
    EXPECT_EQ(bridge.offsets().get(0x0570, 8), reference.offsets().get(0x0570, 8));
  }
  bridge.tick();
  EXPECT_EQ(news, (std::vector<std::string>{
                      "frames are arriving: serving the driver",
                      "4 value(s) beyond their offset set to its nearest limit, the last one: "
                      "/instrumentation/nav[0]/gs-in-range = 300.000000, beyond what 0x0C4C holds",
                      "4 value(s) that are not a number left out, the last one: "
                      "/velocities/airspeed-kt = -inf"}));
  bridge.take_datagram(with_field(other, 0, "nan"));
  env.advance(Millis(999));
  bridge.tick();
  EXPECT_EQ(news.size(), 3u) << "told at most once a second";
  env.advance(Millis(1));
  bridge.tick();
  EXPECT_EQ(news.size(), 4u);
}

TEST_F(FgfsBridgeTest, FailedSendsAndRefusedSendersAreToldOnceASecondWithTheReason) {
  bridge.take_datagram(flight[0]);
  socket.failing = true;
  driver_writes(0x088C, 8192);
  socket.stranger("10.0.0.9:5510");
  socket.stranger("10.0.0.7:5510");
  bridge.tick();
  EXPECT_EQ(std::vector<std::string>(news.begin() + 1, news.end()),
            (std::vector<std::string>{
                "2 datagram(s) from another host refused, the last one: 10.0.0.7:5510",
                "1 datagram(s) that could not be sent, the last one: Network is unreachable"}));
  env.advance(Millis(1000));
  driver_writes(0x088C, 8192);
  bridge.tick();
  EXPECT_EQ(news.size(), 4u) << "resent once a second, failing again";
  EXPECT_EQ(news.back(),
            "1 datagram(s) that could not be sent, the last one: Network is unreachable");
}

TEST_F(FgfsBridgeTest, DriverLeverWritesReachFlightGearAsInputLines) {
  env.advance(Millis(3000));
  bridge.tick();
  EXPECT_TRUE(socket.sent().empty()) << "nothing before FlightGear's first frame";

  bridge.take_datagram(flight[0]);  // FlightGear: propeller lever 0, mixture 1
  driver_writes(0x088C, 8192);      // throttle at half
  const std::string half_throttle = "0.500000,0.000000,1.000000\n";
  EXPECT_EQ(socket.sent(), std::vector<std::string>{half_throttle});
  driver_writes(0x088C, 8192);
  driver_writes(0x0BC0, 100);  // no lever
  EXPECT_EQ(socket.sent().size(), 1u) << "a value sent once until it changes";

  env.advance(Millis(1000));
  bridge.tick();
  EXPECT_EQ(socket.sent().size(), 2u) << "sent again a second later while the driver writes";
  EXPECT_EQ(socket.sent().back(), half_throttle);
  bridge.take_datagram(flight[1]);
  env.advance(Millis(1000));
  bridge.tick();
  EXPECT_EQ(socket.sent().size(), 2u) << "not again once the driver stopped writing";

  driver_writes(0x0890, 12288);  // mixture at three quarters; the throttle stays the driver's
  EXPECT_EQ(socket.sent().back(), "0.500000,0.000000,0.750000\n");
}

TEST_F(FgfsBridgeTest, ALeverMovedFasterThanFlightGearReadsSendsOneLineAPeriodTheLastWinning) {
  env.advance(Millis(3000));
  bridge.take_datagram(flight[0]);
  for (std::uint16_t i = 0; i < 50; ++i) driver_writes(0x088C, i % 2 == 0 ? 8192 : 4096);
  driver_writes(0x088C, 12288);
  ASSERT_EQ(socket.sent().size(), 1u) << "the first change at once, the others wait";
  env.advance(FgfsBridge::INPUT_PERIOD - Millis(1));
  bridge.tick();
  EXPECT_EQ(socket.sent().size(), 1u);
  env.advance(Millis(1));
  bridge.tick();
  ASSERT_EQ(socket.sent().size(), 2u);
  EXPECT_EQ(socket.sent().back(), "0.750000,0.000000,1.000000\n");
}

class XplaneBridgeTest : public FgfsBridgeTest {
 protected:
  // The RREF requests sent so far, as (frequency, index).
  std::vector<std::pair<std::int32_t, std::int32_t>> requests() const {
    std::vector<std::pair<std::int32_t, std::int32_t>> found;
    for (const std::string& d : socket.sent()) {
      if (d.size() != RREF_REQUEST_SIZE) continue;
      std::int32_t words[2];
      std::memcpy(words, d.data() + 5, 8);
      found.emplace_back(words[0], words[1]);
    }
    return found;
  }

  const MapLine& line_at(std::uint32_t offset) const {
    for (const MapLine& line : map.lines) {
      if (line.offset == offset) return line;
    }
    throw std::logic_error("no line");
  }

  BridgeMap map = builtin_xplane_map();
  XplaneBridge xplane{env, map, socket, 10, options()};
};

TEST_F(XplaneBridgeTest, SubscribesUntilAnswersComeAndAgainAfterTwoSecondsWithout) {
  const std::size_t reads = map.read_lines().size();
  xplane.tick();
  ASSERT_EQ(requests().size(), reads);
  EXPECT_EQ(requests().front(),
            (std::pair<std::int32_t, std::int32_t>{10, map.lines[0].line_number}));
  env.advance(Millis(999));
  xplane.tick();
  EXPECT_EQ(requests().size(), reads);
  env.advance(Millis(1));
  xplane.tick();
  EXPECT_EQ(requests().size(), 2 * reads) << "once a second while nothing answers";

  const MapLine& airspeed = line_at(0x02BC);
  const MapLine& rpm = line_at(0x0898);
  xplane.take_datagram(rref_answer({{airspeed.line_number, 74.9f}, {rpm.line_number, 2400.0f}}));
  EXPECT_TRUE(xplane.serving());
  EXPECT_EQ(xplane.offsets().get(0x02BC, 4), 9587u);
  EXPECT_EQ(xplane.offsets().get(0x0898, 2), 9600u);
  EXPECT_EQ(xplane.offsets().get(0x08C8, 2), 16384u) << "the RPM scaler, from no answer of its own";
  env.advance(Millis(1999));
  xplane.tick();
  EXPECT_EQ(requests().size(), 2 * reads);
  env.advance(Millis(1));
  xplane.tick();
  EXPECT_FALSE(xplane.serving());
  EXPECT_EQ(requests().size(), 3 * reads) << "a restarted X-Plane has forgotten them";
  EXPECT_EQ(news.back(),
            "no answer from X-Plane for 2 s: the driver is no longer served; subscribing again");
}

TEST_F(XplaneBridgeTest, MalformedAnswersAreRefusedWholeAndTheLeversGoBackAsDref) {
  const MapLine& airspeed = line_at(0x02BC);
  xplane.take_datagram(rref_answer({{airspeed.line_number, 74.9f}}));
  const std::vector<std::uint8_t> before = all_offsets();
  const std::vector<std::pair<const char*, std::string>> hostile{
      {"short", "RREF"},
      {"odd length", rref_answer({{airspeed.line_number, 80.0f}}) + "x"},
      {"wrong header", "DREF" + rref_answer({{airspeed.line_number, 80.0f}}).substr(4)},
      {"64 KiB", std::string(65507, 'R')},
  };
  for (const auto& [name, datagram] : hostile) {
    xplane.take_datagram(datagram);
    EXPECT_EQ(all_offsets(), before) << name;
  }
  xplane.tick();
  EXPECT_EQ(news.back().rfind("4 datagram(s) refused, the last one: not an RREF answer", 0), 0u)
      << news.back();

  driver_writes(0x088C, 8192);
  const std::string half_throttle =
      dref_datagram(0.5f, "sim/cockpit2/engine/actuators/throttle_ratio[0]");
  EXPECT_EQ(socket.sent().back(), half_throttle);
}

TEST_F(XplaneBridgeTest, OneBadValueOrUnknownIndexLeavesTheRestOfTheAnswerApplied) {
  const MapLine& airspeed = line_at(0x02BC);
  const MapLine& rpm = line_at(0x0898);
  const MapLine& cdi = line_at(0x0C48);  // one byte, 50.8 a dot
  const float nan = std::numeric_limits<float>::quiet_NaN();
  xplane.take_datagram(rref_answer({{airspeed.line_number, 74.9f}}));
  xplane.take_datagram(rref_answer(
      {{airspeed.line_number, nan}, {rpm.line_number, 2400.0f}, {cdi.line_number, -3.0f}}));
  EXPECT_EQ(xplane.offsets().get(0x02BC, 4), 9587u) << "NaN leaves the airspeed as it was";
  EXPECT_EQ(xplane.offsets().get(0x0898, 2), 9600u);
  EXPECT_EQ(xplane.offsets().get(0x0C48, 1), 0x80u) << "-152.4: the needle at its stop, -128";

  // Subscriptions that a bridge killed on this port left behind.
  const std::size_t before = requests().size();
  for (int second = 0; second < 2; ++second) {
    for (int answer = 0; answer < 20; ++answer) {
      xplane.take_datagram(
          rref_answer({{9999, 1.0f}, {airspeed.line_number, 80.0f + static_cast<float>(answer)}}));
      xplane.take_datagram(rref_answer({{-1, 1.0f}}));
      xplane.tick();
      env.advance(Millis(50));
    }
  }
  EXPECT_EQ(xplane.offsets().get(0x02BC, 4), 99u * 128);
  using Request = std::pair<std::int32_t, std::int32_t>;
  const auto unsubscriptions = [&] {
    auto all = requests();
    std::multiset<Request> since(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    return since;
  };
  EXPECT_EQ(unsubscriptions(), (std::multiset<Request>{{0, 9999}, {0, -1}, {0, 9999}, {0, -1}}))
      << "each unknown index unsubscribed once a second while it is answered";
  for (std::size_t unsubscribed : {6u, 6u}) {
    env.advance(Millis(1000));
    xplane.take_datagram(rref_answer({{airspeed.line_number, 80.0f}}));
    xplane.tick();
    EXPECT_EQ(unsubscriptions().size(), unsubscribed) << "none once its answers stopped";
  }
  EXPECT_EQ(news[1],
            "2 part(s) of datagrams ignored, the last one: an RREF answer for index -1, not a read "
            "line: unsubscribed");
}

TEST(XplaneBridgeBatches, SubscribesAMapOf250LinesInBatchesOf100A100MillisecondsApart) {
  std::string text;
  for (int i = 0; i < 250; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "0x%04X 4 int sim/a 1 0 read\n", 0x1000 + 4 * i);
    text += line;
  }
  auto map = parse_bridge_map(text, "p", XPLANE_NAMES);
  ASSERT_TRUE(succeeded(map));
  FakeEnv env;
  RecordingSocket socket;
  XplaneBridge xplane{env, *map, socket, 20, {}};
  const std::vector<std::pair<int, std::size_t>> sent_at{{0, 100}, {99, 100}, {1, 200}, {100, 250}};
  for (const auto& [ms, count] : sent_at) {
    env.advance(Millis(ms));
    xplane.tick();
    EXPECT_EQ(socket.sent().size(), count) << ms;
  }
}

// A lever value goes to X-Plane only when the driver wrote it whole since the serving began:
// never one made of bytes it did not write, nor one it wrote before the serving stopped.
TEST_F(XplaneBridgeTest, OnlyValuesTheDriverWroteWholeSinceTheServingBeganAreSent) {
  const std::string answer = rref_answer({{line_at(0x02BC).line_number, 74.9f}});
  xplane.take_datagram(answer);
  driver_writes(0x088C, 8192);
  EXPECT_EQ(socket.sent().back(),
            dref_datagram(0.5f, "sim/cockpit2/engine/actuators/throttle_ratio[0]"));
  env.advance(Bridge::SILENCE);
  xplane.tick();
  ASSERT_FALSE(xplane.serving());
  client.ipc_close();  // the driver's link went down with the serving

  xplane.take_datagram(answer);
  ASSERT_TRUE(xplane.serving());
  const std::size_t before = socket.sent().size();
  driver_writes(0x088D, 0x4000);  // the throttle's high byte and the propeller's low byte
  EXPECT_EQ(socket.sent().size(), before);
  driver_writes(0x0890, 12288);
  const std::vector<std::string> sent = socket.sent();
  EXPECT_EQ(
      std::vector<std::string>(sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()),
      std::vector<std::string>{
          dref_datagram(0.75f, "sim/cockpit2/engine/actuators/mixture_ratio[0]")});
}

}  // namespace
}  // namespace kavri
