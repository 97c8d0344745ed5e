#include "netlink/sealed_stream.h"

#include <mutex>

namespace kavri {
namespace {

// What one receive takes from the system at most.
constexpr std::size_t RECEIVE_PIECE = 64 * 1024;

using Message = std::optional<std::vector<std::uint8_t>>;

}  // namespace

// The channel's two directions share its state, so a send and a receive take turns on it.
struct SealedStream::Guard {
  Guard(const LinkKey& key, LinkRole role) : channel(key, role) {}
  std::mutex mutex;
  SealedChannel channel;
};

SealedStream::SealedStream(std::unique_ptr<TcpStream> stream, const LinkKey& key, LinkRole role)
    : stream_(std::move(stream)),
      guard_(std::make_unique<Guard>(key, role)),
      buffer_(RECEIVE_PIECE) {}

SealedStream::~SealedStream() = default;

Status SealedStream::handshake(Millis bound, std::stop_token stop) {
  const Clock::time_point deadline = Clock::now() + bound;
  const auto left = [&] { return std::chrono::ceil<Millis>(deadline - Clock::now()); };
  std::vector<std::uint8_t> out = guard_->channel.opening();
  for (;;) {
    if (!out.empty()) {
      const Status sent = stream_->send_all(out, left());
      if (!sent) return sent;
    }
    if (guard_->channel.established()) return done();
    const auto message = next_message(deadline, stop);
    if (!message) return fail(message.error());
    if (!*message) return fail("no answer to the handshake in time from " + ipv4_text(peer()));
    auto answer = guard_->channel.take_handshake(**message);
    if (!answer) return refusal(answer.error());
    out = std::move(*answer);
  }
}

Failure SealedStream::refusal(const std::string& why) {
  refused_ = true;
  return fail(ipv4_text(peer()) + ": " + why);
}

Status SealedStream::send(std::span<const std::uint8_t> body, Millis bound) {
  std::vector<std::uint8_t> message;
  {
    std::lock_guard lock(guard_->mutex);
    message = guard_->channel.seal(body);
  }
  return stream_->send_all(message, bound);
}

Result<Message> SealedStream::receive(Millis wait, std::stop_token stop) {
  auto message = next_message(Clock::now() + wait, stop);
  if (!message || !*message) return message;
  std::lock_guard lock(guard_->mutex);
  auto body = guard_->channel.open(**message);
  if (!body) return refusal(body.error());
  return Message(std::move(*body));
}

Result<Message> SealedStream::next_message(Clock::time_point deadline,
                                           const std::stop_token& stop) {
  for (;;) {
    auto message = reader_.next();
    if (!message) return refusal(message.error());
    if (*message) return message;
    const auto left = std::chrono::ceil<Millis>(deadline - Clock::now());
    if (left <= Millis(0)) return Message{};
    const auto got = stream_->receive(buffer_, left, stop);
    if (!got) return fail(got.error());
    reader_.feed(std::span(buffer_).first(*got));
  }
}

}  // namespace kavri
