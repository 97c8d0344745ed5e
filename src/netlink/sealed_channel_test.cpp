// The relay link's guard: the handshake between the two roles, and every way a stranger or a
// broken network can hand it a message it must refuse.
#include "netlink/sealed_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace kavri {
namespace {

using Bytes = std::vector<std::uint8_t>;

LinkKey key_of(std::uint8_t byte) {
  LinkKey key{};
  key.fill(byte);
  return key;
}

Bytes bytes(const std::string& text) { return {text.begin(), text.end()}; }

// A cockpit and a relay that share a key, their handshake done.
struct Connection {
  SealedChannel cockpit{key_of(7), LinkRole::cockpit};
  SealedChannel relay{key_of(7), LinkRole::relay};
  Bytes hello, answer, proof;

  Connection() {
    EXPECT_TRUE(relay.opening().empty());
    hello = cockpit.opening();
    answer = relay.take_handshake(hello).value();
    proof = cockpit.take_handshake(answer).value();
    EXPECT_TRUE(relay.take_handshake(proof).value().empty());
  }
};

TEST(SealedChannel, HandshakeEstablishesBothSidesAndBodiesPassBothWaysInOrder) {
  Connection c;
  ASSERT_TRUE(c.cockpit.established());
  ASSERT_TRUE(c.relay.established());
  for (const std::string body : {"first", "", "third"}) {
    EXPECT_EQ(c.relay.open(c.cockpit.seal(bytes(body))).value(), bytes(body));
    EXPECT_EQ(c.cockpit.open(c.relay.seal(bytes(body + "!"))).value(), bytes(body + "!"));
  }
  const Bytes largest(SEALED_BODY_MAX, 0x5A);
  EXPECT_EQ(c.relay.open(c.cockpit.seal(largest)).value(), largest);
  EXPECT_THROW(c.cockpit.seal(Bytes(SEALED_BODY_MAX + 1)), std::length_error);
}

TEST(SealedChannel, ARelayWithAnotherKeyIsRefusedByTheCockpit) {
  SealedChannel cockpit{key_of(7), LinkRole::cockpit};
  SealedChannel relay{key_of(8), LinkRole::relay};
  const auto answer = relay.take_handshake(cockpit.opening());
  ASSERT_TRUE(answer.ok());
  EXPECT_FALSE(cockpit.take_handshake(*answer).ok());
  EXPECT_FALSE(cockpit.established());
}

// What a relay in the middle of its handshake is handed instead of the cockpit's proof.
TEST(SealedChannel, RelayRefusesEveryProofButTheCockpitsOwnForThisConnection) {
  const std::vector<std::pair<const char*, std::function<Bytes(const Connection&, Bytes)>>> cases =
      {
          // The relay's own proof sent back as the cockpit's: it names the other role.
          {"its own proof reflected",
           [](const Connection&, Bytes answer) {
             Bytes reflected(answer.end() - 37, answer.end());
             std::copy_n(Bytes{33, 0, 0, 0, 3}.begin(), 5, reflected.begin());
             return reflected;
           }},
          // A proof that passed on another connection with the same key: stale challenges.
          {"another connection's proof",
           [](const Connection& other, Bytes) { return other.proof; }},
          {"a hello", [](const Connection& other, Bytes) { return other.hello; }},
          {"nothing", [](const Connection&, Bytes) { return Bytes{}; }},
      };
  const Connection other;
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    SealedChannel cockpit{key_of(7), LinkRole::cockpit};
    SealedChannel relay{key_of(7), LinkRole::relay};
    const Bytes answer = relay.take_handshake(cockpit.opening()).value();
    EXPECT_FALSE(relay.take_handshake(make(other, answer)).ok());
    EXPECT_FALSE(relay.established());
  }
}

TEST(SealedChannel, EverySingleByteAlterationOfTheProofIsRefused) {
  SealedChannel cockpit{key_of(7), LinkRole::cockpit};
  SealedChannel relay{key_of(7), LinkRole::relay};
  const Bytes hello = cockpit.opening();
  const Bytes answer = relay.take_handshake(hello).value();
  for (std::size_t i = 0; i < answer.size(); ++i) {
    Bytes altered = answer;
    altered[i] ^= 0x01;
    SealedChannel fresh{key_of(7), LinkRole::cockpit};
    fresh.opening();
    EXPECT_FALSE(fresh.take_handshake(altered).ok()) << "byte " << i;
  }
  Connection c;
  for (std::size_t i = 0; i < c.proof.size(); ++i) {
    SealedChannel fresh_relay{key_of(7), LinkRole::relay};
    SealedChannel fresh_cockpit{key_of(7), LinkRole::cockpit};
    Bytes proof =
        fresh_cockpit.take_handshake(fresh_relay.take_handshake(fresh_cockpit.opening()).value())
            .value();
    proof[i] ^= 0x01;
    EXPECT_FALSE(fresh_relay.take_handshake(proof).ok()) << "byte " << i;
  }
}

TEST(SealedChannel, HandshakeMessagesOutOfTurnAreRefused) {
  Connection c;
  SealedChannel cockpit{key_of(7), LinkRole::cockpit};
  cockpit.opening();
  EXPECT_FALSE(cockpit.take_handshake(c.hello).ok());  // a hello instead of the answer
  SealedChannel relay{key_of(7), LinkRole::relay};
  EXPECT_FALSE(relay.take_handshake(c.answer).ok());   // an answer instead of a hello
  EXPECT_FALSE(c.relay.take_handshake(c.proof).ok());  // a handshake once established
  SealedChannel unopened{key_of(7), LinkRole::relay};
  EXPECT_FALSE(unopened.open(c.cockpit.seal(bytes("early"))).ok());
  EXPECT_THROW(unopened.seal(bytes("early")), std::logic_error);
}

// What reaches the relay of the three messages its cockpit sealed: all but the last open.
struct SealedCase {
  const char* name;
  std::function<std::vector<Bytes>(const std::vector<Bytes>& sealed)> deliver;
};

TEST(SealedChannel, ReplayedReorderedDroppedOrExtendedMessagesAreRefused) {
  const std::vector<SealedCase> cases = {
      {"replayed",
       [](const std::vector<Bytes>& m) {
         return std::vector<Bytes>{m[0], m[1], m[0]};
       }},
      {"reordered", [](const std::vector<Bytes>& m) { return std::vector<Bytes>{m[1]}; }},
      {"one dropped",
       [](const std::vector<Bytes>& m) {
         return std::vector<Bytes>{m[0], m[2]};
       }},
      {"a byte added", [](const std::vector<Bytes>& m) {
         Bytes longer = m[0];
         longer.push_back(0);
         return std::vector<Bytes>{longer};
       }}};
  for (const SealedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Connection link;
    std::vector<Bytes> sealed;
    for (const char* body : {"a", "b", "c"}) sealed.push_back(link.cockpit.seal(bytes(body)));
    const std::vector<Bytes> delivered = c.deliver(sealed);
    for (std::size_t i = 0; i + 1 < delivered.size(); ++i) {
      EXPECT_TRUE(link.relay.open(delivered[i]).ok());
    }
    EXPECT_FALSE(link.relay.open(delivered.back()).ok());
  }
}

TEST(SealedChannel, MessagesOfAnotherDirectionOrConnectionAreRefused) {
  Connection c;
  Connection other;
  EXPECT_FALSE(c.cockpit.open(c.cockpit.seal(bytes("reflected"))).ok());
  EXPECT_FALSE(c.relay.open(other.cockpit.seal(bytes("elsewhere"))).ok());
}

TEST(SealedChannel, EverySingleByteAlterationOfASealedMessageIsRefused) {
  const Bytes genuine = Connection().cockpit.seal(bytes("body"));
  for (std::size_t i = 0; i < genuine.size(); ++i) {
    for (int change = 1; change < 256; ++change) {
      Connection c;
      Bytes altered = c.cockpit.seal(bytes("body"));
      altered[i] = static_cast<std::uint8_t>(altered[i] ^ change);
      ASSERT_FALSE(c.relay.open(altered).ok()) << "byte " << i << " xor " << change;
    }
  }
}

TEST(SealedChannel, EveryTruncationOfASealedMessageIsRefused) {
  const Bytes genuine = Connection().cockpit.seal(bytes("body"));
  for (std::size_t length = 0; length < genuine.size(); ++length) {
    Connection c;
    const Bytes sealed = c.cockpit.seal(bytes("body"));
    EXPECT_FALSE(c.relay.open({sealed.data(), length}).ok()) << length << " bytes";
  }
}

TEST(SealedChannel, ARefusedMessageClosesTheChannel) {
  Connection c;
  Bytes sealed = c.cockpit.seal(bytes("body"));
  Bytes altered = sealed;
  altered.back() ^= 1;
  EXPECT_FALSE(c.relay.open(altered).ok());
  EXPECT_FALSE(c.relay.open(sealed).ok());
  EXPECT_FALSE(c.relay.established());
}

std::vector<Bytes> read_in_pieces(const Bytes& stream, std::size_t piece) {
  MessageReader reader;
  std::vector<Bytes> messages;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    reader.feed({stream.data() + at, std::min(piece, stream.size() - at)});
    for (auto next = reader.next(); next.ok() && next->has_value(); next = reader.next()) {
      messages.push_back(**next);
    }
  }
  return messages;
}

TEST(MessageReader, CutsTheStreamIntoItsMessagesWhateverThePieces) {
  Connection c;
  const std::vector<Bytes> sent = {c.hello, c.answer, c.proof, c.cockpit.seal(bytes("x")),
                                   c.cockpit.seal(Bytes(SEALED_BODY_MAX, 1))};
  Bytes stream;
  for (const Bytes& message : sent) stream.insert(stream.end(), message.begin(), message.end());
  for (const std::size_t piece : {1, 3, 4, 33, 1000, 1 << 20}) {
    EXPECT_EQ(read_in_pieces(stream, piece), sent) << "pieces of " << piece;
  }
}

TEST(MessageReader, RefusesALengthAboveAnyMessageAsSoonAsItIsRead) {
  const std::uint32_t largest = 8 + SEALED_BODY_MAX + 32;
  MessageReader reader;
  const Bytes largest_length{static_cast<std::uint8_t>(largest),
                             static_cast<std::uint8_t>(largest >> 8), 0, 0};
  reader.feed(largest_length);
  EXPECT_TRUE(reader.next().ok());  // the largest is awaited
  MessageReader refusing;
  const std::uint32_t above = largest + 1;
  refusing.feed(Bytes{static_cast<std::uint8_t>(above), static_cast<std::uint8_t>(above >> 8), 0});
  EXPECT_TRUE(refusing.next().ok());  // three bytes of the length: nothing to tell yet
  refusing.feed(Bytes{0});
  EXPECT_FALSE(refusing.next().ok());
  refusing.feed(Bytes(1 << 20, 0));
  EXPECT_FALSE(refusing.next().ok());
}

}  // namespace
}  // namespace kavri
