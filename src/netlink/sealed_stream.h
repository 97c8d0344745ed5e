// One guarded connection of the relay link, as both ends use it: a TCP stream whose messages
// pass through a SealedChannel. The handshake comes first; after it, bodies go out sealed and
// come in opened. Any Failure (the peer gone, a wrong key, an altered, replayed or cut message)
// means the connection is over: the caller drops it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "base/env.h"
#include "base/result.h"
#include "netlink/sealed_channel.h"
#include "netlink/tcp_stream.h"

namespace kavri {

// send() and receive() may run on two threads at once (the channel is locked inside);
// handshake() runs before either.
class SealedStream {
 public:
  SealedStream(std::unique_ptr<TcpStream> stream, const LinkKey& key, LinkRole role);
  ~SealedStream();
  SealedStream(const SealedStream&) = delete;
  SealedStream& operator=(const SealedStream&) = delete;

  // Runs this end's side of the handshake within `bound` (less on a stop request).
  Status handshake(Millis bound, std::stop_token stop);
  // Sends one body within `bound`.
  Status send(std::span<const std::uint8_t> body, Millis bound);
  // The next body, or nullopt when none came within `wait`.
  Result<std::optional<std::vector<std::uint8_t>>> receive(Millis wait, std::stop_token stop);

  Ipv4 peer() const { return stream_->peer(); }
  // True when the connection ended because the guard refused what came (a wrong key, an
  // altered, replayed or oversized message), false when the peer left or the stream broke.
  bool refused() const { return refused_; }

 private:
  using Clock = std::chrono::steady_clock;
  // The next whole message before `deadline`, as it came (sealed or a handshake's).
  Result<std::optional<std::vector<std::uint8_t>>> next_message(Clock::time_point deadline,
                                                                const std::stop_token& stop);

  Failure refusal(const std::string& why);

  struct Guard;
  std::unique_ptr<TcpStream> stream_;
  std::unique_ptr<Guard> guard_;
  MessageReader reader_;
  std::vector<std::uint8_t> buffer_;
  bool refused_ = false;
};

}  // namespace kavri
