// What the network link counts on from the platform's TCP backend (run natively and, in the
// windows preset, on Winsock under Wine): whole and ordered bytes, sends and waits that end
// within their bounds, and a stop that ends a wait at once.
#include "netlink/tcp_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "testing/eventually.h"

namespace kavri {
namespace {

constexpr Millis LONG_WAIT{10000};

struct Pair {
  std::unique_ptr<TcpListener> listener;
  std::unique_ptr<TcpStream> near;  // the connecting side
  std::unique_ptr<TcpStream> far;   // the accepted side
};

Pair connected_pair() {
  Pair pair;
  auto listener = listen_tcp({"127.0.0.1", 0});
  EXPECT_TRUE(listener) << (listener ? "" : listener.error());
  if (!listener) return pair;
  pair.listener = std::move(*listener);
  auto near = connect_tcp({"127.0.0.1", pair.listener->local_port()}, LONG_WAIT, {});
  EXPECT_TRUE(near) << (near ? "" : near.error());
  if (!near) return pair;
  pair.near = std::move(*near);
  for (int tries = 0; tries < 100 && pair.far == nullptr; ++tries) {
    auto far = pair.listener->accept(Millis(100), {});
    if (far) pair.far = std::move(*far);
  }
  EXPECT_NE(pair.far, nullptr);
  return pair;
}

// Receives exactly `size` bytes, or fewer when the stream fails or stays silent for long.
std::vector<std::uint8_t> receive_bytes(TcpStream& stream, std::size_t size) {
  std::vector<std::uint8_t> got(size);
  std::size_t have = 0;
  while (have < size) {
    const auto n = stream.receive(std::span(got).subspan(have), LONG_WAIT, {});
    if (!n || *n == 0) break;
    have += *n;
  }
  got.resize(have);
  return got;
}

TEST(TcpStream, BytesArriveWholeAndInOrderBothWays) {
  Pair pair = connected_pair();
  ASSERT_NE(pair.far, nullptr);
  EXPECT_EQ(pair.far->peer(), 0x7F000001u);
  // Larger than the system's buffers, so the send waits for the reader more than once.
  std::vector<std::uint8_t> block(4 << 20);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  std::vector<std::uint8_t> got;
  std::thread reader([&] { got = receive_bytes(*pair.far, block.size()); });
  EXPECT_TRUE(pair.near->send_all(block, LONG_WAIT));
  reader.join();
  EXPECT_EQ(got, block);

  const std::vector<std::uint8_t> reply{1, 2, 3};
  ASSERT_TRUE(pair.far->send_all(reply, LONG_WAIT));
  EXPECT_EQ(receive_bytes(*pair.near, 3), reply);
}

TEST(TcpStream, AQuietPeerGivesNothingAndAClosedOneAFailure) {
  Pair pair = connected_pair();
  ASSERT_NE(pair.far, nullptr);
  std::uint8_t byte = 0;
  const auto quiet = pair.near->receive({&byte, 1}, Millis(20), {});
  ASSERT_TRUE(quiet);
  EXPECT_EQ(*quiet, 0u);
  pair.far.reset();
  EXPECT_FALSE(pair.near->receive({&byte, 1}, LONG_WAIT, {}));
  EXPECT_FALSE(pair.near->receive({&byte, 1}, LONG_WAIT, {})) << "a broken stream stays broken";
}

// A peer that reads nothing must not hold a sender past its bound (one stalled cockpit would
// otherwise stall the relay's thread that serves it).
TEST(TcpStream, ASendToAPeerThatReadsNothingFailsWithinItsBound) {
  Pair pair = connected_pair();
  ASSERT_NE(pair.far, nullptr);
  const std::vector<std::uint8_t> block(64 << 20);
  EXPECT_FALSE(pair.near->send_all(block, Millis(200)));
}

TEST(TcpStream, AStopRequestEndsAReceiveWaitAtOnce) {
  Pair pair = connected_pair();
  ASSERT_NE(pair.far, nullptr);
  std::stop_source stop;
  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    std::uint8_t byte = 0;
    // Far longer than the test waits for it: only the stop can end it in time.
    EXPECT_FALSE(pair.near->receive({&byte, 1}, Millis(600000), stop.get_token()));
    ended = true;
  });
  std::this_thread::sleep_for(Millis(20));
  stop.request_stop();
  EXPECT_TRUE(testing::eventually([&] { return ended.load(); }, Millis(30000)));
  waiter.join();
}

TEST(TcpStream, ConnectingWhereNobodyListensFails) {
  auto listener = listen_tcp({"127.0.0.1", 0});
  ASSERT_TRUE(listener);
  const std::uint16_t port = (*listener)->local_port();
  listener->reset();
  EXPECT_FALSE(connect_tcp({"127.0.0.1", port}, LONG_WAIT, {}));
  EXPECT_FALSE(connect_tcp({"no-such-host.invalid", 1}, LONG_WAIT, {}));
  EXPECT_FALSE(listen_tcp({"no-such-host.invalid", 0}));
}

}  // namespace
}  // namespace kavri
