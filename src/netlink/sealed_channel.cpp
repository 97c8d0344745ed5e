// The relay link's guard. Each side proves it holds the key with an HMAC over a label naming
// its role and both sides' fresh challenges: a proof is good for one connection only, and one
// side's proof never passes for the other's, so a stranger can neither replay an old
// handshake nor reflect a side's own proof back to it. The session key comes from the key and
// both challenges, so a message of another connection never opens in this one; every sealed
// message's MAC covers its direction, its sequence number and its body.
#include "netlink/sealed_channel.h"

#include <stdexcept>
#include <string_view>

#include "netlink/link_crypto.h"
#include "netlink/sealed_wire.h"

namespace kavri {
namespace {

using namespace sealed_wire;
using Challenge = std::array<std::uint8_t, CHALLENGE_BYTES>;

// Labels of equal length for the two directions and a different length for each proof, so no
// MAC's input is ever another's.
constexpr std::string_view RELAY_PROOF = "kavri link 1 relay proof";
constexpr std::string_view COCKPIT_PROOF = "kavri link 1 cockpit proof";
constexpr std::string_view SESSION_KEY = "kavri link 1 session key";
constexpr std::string_view COCKPIT_TO_RELAY = "kavri link 1 cockpit to relay";
constexpr std::string_view RELAY_TO_COCKPIT = "kavri link 1 relay to cockpit";
static_assert(COCKPIT_TO_RELAY.size() == RELAY_TO_COCKPIT.size());

ByteView bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A message of `content_size` bytes after its length, the length written.
std::vector<std::uint8_t> message_of(std::size_t content_size) {
  std::vector<std::uint8_t> message(LENGTH_BYTES + content_size);
  store_le(message.data(), LENGTH_BYTES, content_size);
  return message;
}

// The content of a handshake message of `kind`, when `message` is one, whole.
std::optional<ByteView> handshake_content(ByteView message, Kind kind, std::size_t content) {
  if (message.size() != LENGTH_BYTES + content) return std::nullopt;
  if (load_le(message.data(), LENGTH_BYTES) != content) return std::nullopt;
  if (message[LENGTH_BYTES] != static_cast<std::uint8_t>(kind)) return std::nullopt;
  return message.subspan(LENGTH_BYTES + 1);
}

}  // namespace

struct SealedChannel::State {
  enum class Step { start, awaiting_answer, awaiting_proof, established, closed };

  LinkKey key;
  LinkRole role;
  Step step = Step::start;
  Challenge cockpit_challenge{};
  Challenge relay_challenge{};
  Mac session_key{};
  std::uint64_t sent = 0;      // the sequence number of the next message sealed
  std::uint64_t received = 0;  // the sequence number the next message opened must carry

  Mac proof(std::string_view label) const {
    return hmac_sha256(key, {bytes_of(label), cockpit_challenge, relay_challenge});
  }

  void establish() {
    session_key = proof(SESSION_KEY);
    step = Step::established;
  }

  Mac message_mac(std::string_view direction, ByteView sequence, ByteView body) const {
    return hmac_sha256(session_key, {bytes_of(direction), sequence, body});
  }

  Failure refuse(std::string message) {
    step = Step::closed;
    return fail(std::move(message));
  }
};

SealedChannel::SealedChannel(const LinkKey& key, LinkRole role)
    : state_(std::make_unique<State>(State{.key = key, .role = role})) {}

SealedChannel::~SealedChannel() = default;

std::vector<std::uint8_t> SealedChannel::opening() {
  State& s = *state_;
  if (s.role == LinkRole::relay) return {};
  if (s.step != State::Step::start) throw std::logic_error("the cockpit opens a channel once");
  fill_random(s.cockpit_challenge);
  s.step = State::Step::awaiting_answer;
  std::vector<std::uint8_t> hello = message_of(HELLO_CONTENT);
  hello[LENGTH_BYTES] = static_cast<std::uint8_t>(Kind::hello);
  std::copy(s.cockpit_challenge.begin(), s.cockpit_challenge.end(), &hello[LENGTH_BYTES + 1]);
  return hello;
}

Result<std::vector<std::uint8_t>> SealedChannel::take_handshake(
    std::span<const std::uint8_t> message) {
  State& s = *state_;
  using Step = State::Step;
  if (s.role == LinkRole::relay && s.step == Step::start) {
    const auto content = handshake_content(message, Kind::hello, HELLO_CONTENT);
    if (!content) return s.refuse("the cockpit's first message is not a greeting");
    std::copy(content->begin(), content->end(), s.cockpit_challenge.begin());
    fill_random(s.relay_challenge);
    const Mac proof = s.proof(RELAY_PROOF);
    s.step = Step::awaiting_proof;
    std::vector<std::uint8_t> answer = message_of(RELAY_ANSWER_CONTENT);
    answer[LENGTH_BYTES] = static_cast<std::uint8_t>(Kind::relay_answer);
    auto out = std::copy(s.relay_challenge.begin(), s.relay_challenge.end(),
                         answer.begin() + LENGTH_BYTES + 1);
    std::copy(proof.begin(), proof.end(), out);
    return answer;
  }
  if (s.role == LinkRole::relay && s.step == Step::awaiting_proof) {
    const auto content = handshake_content(message, Kind::cockpit_proof, COCKPIT_PROOF_CONTENT);
    if (!content) return s.refuse("the cockpit's second message is not its proof");
    Mac proof{};
    std::copy(content->begin(), content->end(), proof.begin());
    if (!same_mac(proof, s.proof(COCKPIT_PROOF))) {
      return s.refuse("the cockpit does not hold the key");
    }
    s.establish();
    return std::vector<std::uint8_t>{};
  }
  if (s.role == LinkRole::cockpit && s.step == Step::awaiting_answer) {
    const auto content = handshake_content(message, Kind::relay_answer, RELAY_ANSWER_CONTENT);
    if (!content) return s.refuse("the relay's answer is not one");
    std::copy(content->begin(), content->begin() + CHALLENGE_BYTES, s.relay_challenge.begin());
    Mac proof{};
    std::copy(content->begin() + CHALLENGE_BYTES, content->end(), proof.begin());
    if (!same_mac(proof, s.proof(RELAY_PROOF))) return s.refuse("the relay does not hold the key");
    const Mac own = s.proof(COCKPIT_PROOF);
    s.establish();
    std::vector<std::uint8_t> reply = message_of(COCKPIT_PROOF_CONTENT);
    reply[LENGTH_BYTES] = static_cast<std::uint8_t>(Kind::cockpit_proof);
    std::copy(own.begin(), own.end(), reply.begin() + LENGTH_BYTES + 1);
    return reply;
  }
  return s.refuse(s.step == Step::closed ? "the channel was closed after a refused message"
                                         : "a handshake message came out of turn");
}

bool SealedChannel::established() const { return state_->step == State::Step::established; }

std::vector<std::uint8_t> SealedChannel::seal(std::span<const std::uint8_t> body) {
  State& s = *state_;
  if (s.step != State::Step::established) throw std::logic_error("sealed before the handshake");
  if (body.size() > SEALED_BODY_MAX) throw std::length_error("sealed body above its bound");
  std::vector<std::uint8_t> message = message_of(SEALED_OVERHEAD + body.size());
  const auto sequence = message.begin() + LENGTH_BYTES;
  // 2^64 messages are never reached: the sequence number does not wrap in any connection's life.
  store_le(&*sequence, SEQUENCE_BYTES, s.sent++);
  const auto body_at = std::copy(body.begin(), body.end(), sequence + SEQUENCE_BYTES);
  const Mac mac = s.message_mac(s.role == LinkRole::cockpit ? COCKPIT_TO_RELAY : RELAY_TO_COCKPIT,
                                {&*sequence, SEQUENCE_BYTES}, body);
  std::copy(mac.begin(), mac.end(), body_at);
  return message;
}

Result<std::vector<std::uint8_t>> SealedChannel::open(std::span<const std::uint8_t> message) {
  State& s = *state_;
  if (s.step != State::Step::established) {
    return s.refuse(s.step == State::Step::closed ? "the channel was closed after a refused message"
                                                  : "a sealed message came before the handshake");
  }
  if (message.size() < LENGTH_BYTES + SEALED_OVERHEAD ||
      load_le(message.data(), LENGTH_BYTES) != message.size() - LENGTH_BYTES) {
    return s.refuse("a message was cut short or its length altered");
  }
  const ByteView sequence = message.subspan(LENGTH_BYTES, SEQUENCE_BYTES);
  const ByteView body = message.subspan(LENGTH_BYTES + SEQUENCE_BYTES,
                                        message.size() - LENGTH_BYTES - SEALED_OVERHEAD);
  Mac mac{};
  std::copy(message.end() - MAC_BYTES, message.end(), mac.begin());
  const std::string_view direction =
      s.role == LinkRole::relay ? COCKPIT_TO_RELAY : RELAY_TO_COCKPIT;
  if (!same_mac(mac, s.message_mac(direction, sequence, body))) {
    return s.refuse("a message was altered or sealed with another key");
  }
  if (load_le(sequence.data(), SEQUENCE_BYTES) != s.received) {
    return s.refuse("a message was replayed or came out of order");
  }
  ++s.received;
  return std::vector<std::uint8_t>(body.begin(), body.end());
}

}  // namespace kavri
