#include "netlink/transport_network.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "netlink/relay_messages.h"
#include "netlink/sealed_stream.h"

namespace kavri {
namespace {

constexpr IpcReply NO_REPLY{false, 0, false};
constexpr IpcReply SYSTEM_ERROR{false, 0, true};

using Clock = std::chrono::steady_clock;

Millis left_until(Clock::time_point deadline) {
  return std::max(Millis(0), std::chrono::ceil<Millis>(deadline - Clock::now()));
}

class NetworkTransport final : public IpcTransport {
 public:
  explicit NetworkTransport(NetworkLink link) : link_(std::move(link)) {}

  // The area goes by no system name, so the number names nothing.
  std::uint32_t process_id() override { return 0; }

  std::optional<IpcServerClass> find_server() override {
    connection_.reset();
    server_.reset();
    if (!connect(Clock::now() + IPC_ATTEMPT_BOUND, {})) return std::nullopt;
    return server_;
  }

  bool register_message() override { return true; }

  IpcResult create_area(const std::string&) override {
    block_.assign(IPC_AREA_SIZE, 0);
    return IpcResult::ok;
  }

  std::span<std::uint8_t> area() override { return block_; }

  IpcReply exchange(std::size_t used, Millis timeout, std::stop_token stop) override {
    if (used < RELAY_BLOCK_MIN || used > block_.size() || !server_) return SYSTEM_ERROR;
    const Clock::time_point deadline = Clock::now() + timeout;
    if (connection_ == nullptr && !connect(deadline, stop)) {
      return stop.stop_requested() ? NO_REPLY : SYSTEM_ERROR;
    }
    CockpitRequest request{CockpitRequest::Kind::exchange,
                           ++sequence_,
                           {block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(used)}};
    if (!connection_->send(encode(request), left_until(deadline))) return dropped(SYSTEM_ERROR);
    for (;;) {
      auto body = connection_->receive(left_until(deadline), stop);
      if (stop.stop_requested()) return dropped(NO_REPLY);
      if (!body) return dropped(SYSTEM_ERROR);
      // No answer in time: the relay may still be waiting on the simulator. The connection is
      // dropped, so its late answer can never be taken for a later exchange's.
      if (!*body) return dropped(NO_REPLY);
      const auto answer = parse_relay_answer(**body);
      if (!answer || answer->kind != RelayAnswer::Kind::exchange) return dropped(SYSTEM_ERROR);
      if (answer->sequence != sequence_) continue;  // an earlier exchange's, passed over
      if (!answer->reply.answered) return answer->reply;
      if (answer->block.size() != used) return dropped(SYSTEM_ERROR);
      std::memcpy(block_.data(), answer->block.data(), used);
      return answer->reply;
    }
  }

  void close() override {
    connection_.reset();
    server_.reset();
    block_.clear();
  }

 private:
  // Connects, runs the handshake and asks for the server before `deadline`; true when the
  // relay found one (then kept in server_).
  bool connect(Clock::time_point deadline, std::stop_token stop) {
    auto stream = connect_tcp(link_.relay, left_until(deadline), stop);
    if (!stream) return false;
    auto connection =
        std::make_unique<SealedStream>(std::move(*stream), link_.key, LinkRole::cockpit);
    if (!connection->handshake(left_until(deadline), stop) ||
        !connection->send(encode(CockpitRequest{}), left_until(deadline))) {
      return false;
    }
    const auto body = connection->receive(left_until(deadline), stop);
    if (!body || !*body) return false;
    const auto answer = parse_relay_answer(**body);
    if (!answer || answer->kind != RelayAnswer::Kind::server || !answer->server) return false;
    // A reconnection keeps the link on the server it was opened on.
    if (server_ && *server_ != *answer->server) return false;
    server_ = answer->server;
    connection_ = std::move(connection);
    return true;
  }

  IpcReply dropped(IpcReply reply) {
    connection_.reset();
    return reply;
  }

  NetworkLink link_;
  std::unique_ptr<SealedStream> connection_;
  std::optional<IpcServerClass> server_;
  std::uint32_t sequence_ = 0;
  std::vector<std::uint8_t> block_;
};

}  // namespace

std::unique_ptr<IpcTransport> make_network_transport(NetworkLink link) {
  return std::make_unique<NetworkTransport>(std::move(link));
}

}  // namespace kavri
