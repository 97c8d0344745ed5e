// The bytes a stranger sends on the relay link (the first byte sets how the receives cut the
// rest): cut into messages, they never complete a handshake with either side, never open on an
// established connection, and whatever they hold travels whole when a cockpit holding the key
// seals it as a body.
#include <algorithm>
#include <array>

#include "fuzz/fuzz_target.h"
#include "fuzz/stream_receives.h"
#include "netlink/sealed_channel.h"

namespace kavri::fuzz {
namespace {

using Message = std::vector<std::uint8_t>;

// A MessageReader behind the room a receive fills.
struct ReceivingReader {
  MessageReader reader;
  std::array<std::uint8_t, 320> buffer{};
  std::span<std::uint8_t> room() { return buffer; }
};

// The messages the stream holds, up to a length the reader refuses: the stream's bytes in
// order, none lost, none repeated.
std::vector<Message> messages_in(Bytes stream, std::uint8_t seed) {
  ReceivingReader receiving;
  std::vector<Message> messages;
  std::size_t taken = 0;
  receive_in_pieces(receiving, stream, seed, [&](std::size_t count) {
    receiving.reader.feed(std::span(receiving.buffer).first(count));
    for (auto next = receiving.reader.next();; next = receiving.reader.next()) {
      if (!next) return false;  // the connection is closed
      if (!next->has_value()) return true;
      const Message& message = **next;
      expect(taken + message.size() <= stream.size() &&
                 std::equal(message.begin(), message.end(), stream.begin() + taken),
             "a message is the stream's next bytes");
      taken += message.size();
      messages.push_back(std::move(**next));
    }
  });
  return messages;
}

struct Connection {
  static constexpr LinkKey KEY{1, 2, 3};
  SealedChannel cockpit{KEY, LinkRole::cockpit};
  SealedChannel relay{KEY, LinkRole::relay};
  Connection() {
    const auto answer = relay.take_handshake(cockpit.opening());
    const auto proof = cockpit.take_handshake(answer.value());
    expect(relay.take_handshake(proof.value()).ok() && relay.established(),
           "a cockpit and a relay with the same key establish their channel");
  }
};

}  // namespace

void fuzz_sealed_link(Bytes input) {
  if (input.empty()) return;
  const std::vector<Message> messages = messages_in(input.subspan(1), input[0]);

  SealedChannel relay{Connection::KEY, LinkRole::relay};
  SealedChannel cockpit{Connection::KEY, LinkRole::cockpit};
  cockpit.opening();
  for (const Message& message : messages) {
    if (!relay.take_handshake(message).ok()) break;
  }
  for (const Message& message : messages) {
    if (!cockpit.take_handshake(message).ok()) break;
  }
  expect(!relay.established() && !cockpit.established(), "a stranger never completes a handshake");

  Connection link;
  for (const Message& message : messages) {
    if (message.size() > SEALED_BODY_MAX) continue;
    const auto opened = link.relay.open(link.cockpit.seal(message));
    expect(opened.ok() && opened.value() == message, "a sealed body arrives whole");
  }
  if (!messages.empty()) {
    expect(!link.relay.open(messages.front()).ok(), "a stranger's message never opens");
    expect(!link.relay.established(), "a refused message closes the channel");
  }
}

}  // namespace kavri::fuzz
