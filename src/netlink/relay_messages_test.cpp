#include "netlink/relay_messages.h"

#include <gtest/gtest.h>

namespace kavri {
namespace {

std::vector<std::uint8_t> block_of(std::size_t size) {
  std::vector<std::uint8_t> block(size);
  for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<std::uint8_t>(i * 13 + 1);
  return block;
}

TEST(RelayMessages, RequestsAndAnswersComeBackAsTheyWereSent) {
  for (std::size_t size : {RELAY_BLOCK_MIN, std::size_t{300}, IPC_AREA_SIZE}) {
    const CockpitRequest request{CockpitRequest::Kind::exchange, 0xA1B2C3D4, block_of(size)};
    const auto parsed = parse_cockpit_request(encode(request));
    ASSERT_TRUE(parsed) << size;
    EXPECT_EQ(parsed->kind, request.kind);
    EXPECT_EQ(parsed->sequence, request.sequence);
    EXPECT_EQ(parsed->block, request.block);
  }
  EXPECT_EQ(parse_cockpit_request(encode(CockpitRequest{}))->kind,
            CockpitRequest::Kind::find_server);

  for (auto server : {std::optional(IpcServerClass::uipcmain),
                      std::optional(IpcServerClass::fs98main), std::optional<IpcServerClass>()}) {
    RelayAnswer answer;
    answer.server = server;
    EXPECT_EQ(parse_relay_answer(encode(answer))->server, server);
  }
  for (const IpcReply reply :
       {IpcReply{true, 1, false}, IpcReply{false, 0, true}, IpcReply{false, 0, false}}) {
    RelayAnswer answer{RelayAnswer::Kind::exchange, {}, 77, reply, block_of(64)};
    const auto parsed = parse_relay_answer(encode(answer));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sequence, 77u);
    EXPECT_EQ(parsed->reply.answered, reply.answered);
    EXPECT_EQ(parsed->reply.value, reply.value);
    EXPECT_EQ(parsed->reply.system_error, reply.system_error);
    // An unanswered exchange carries no block back, so no stale block can be taken as results.
    EXPECT_EQ(parsed->block, reply.answered ? answer.block : std::vector<std::uint8_t>{});
  }
}

// Every cut of a good message, and messages of wrong kinds, outcomes and sizes, are refused.
TEST(RelayMessages, BadBodiesAreRefused) {
  const auto request = encode(CockpitRequest{CockpitRequest::Kind::exchange, 5, block_of(8)});
  const auto answer = encode(
      RelayAnswer{RelayAnswer::Kind::exchange, {}, 5, IpcReply{true, 1, false}, block_of(8)});
  for (std::size_t cut = 0; cut < request.size(); ++cut) {
    EXPECT_FALSE(parse_cockpit_request(std::span(request).first(cut))) << cut;
  }
  for (std::size_t cut = 0; cut < answer.size(); ++cut) {
    EXPECT_FALSE(parse_relay_answer(std::span(answer).first(cut))) << cut;
  }
  auto too_long =
      encode(CockpitRequest{CockpitRequest::Kind::exchange, 5, block_of(IPC_AREA_SIZE)});
  too_long.push_back(0);
  EXPECT_FALSE(parse_cockpit_request(too_long));

  const std::vector<std::vector<std::uint8_t>> bad_requests{
      {0}, {3}, {0x81}, {1, 0}, {2, 0, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3}};
  for (const auto& bad : bad_requests) EXPECT_FALSE(parse_cockpit_request(bad));

  const std::vector<std::vector<std::uint8_t>> bad_answers{
      {0x81, 2},                                                   // unknown server class
      {0x81, 0, 0},                                                // a server answer too long
      {0x82, 5, 0, 0, 0, 3, 1, 0, 0, 0, 0, 0, 0, 0},               // unknown outcome
      {0x82, 5, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0},               // answered without a block
      {0x82, 5, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4},   // unanswered with a block
      {0x82, 5, 0, 0, 0, 1, 1, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3},      // shorter than an end marker
      {0x82, 5, 0, 0, 0, 1, 1, 0, 0, 0, 9, 0, 0, 0, 1, 2, 3, 4},   // a length not its own
      {0x82, 5, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0},               // a value without an answer
      {0x02, 5, 0, 0, 0, 1, 1, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}};  // a request's kind
  for (const auto& bad : bad_answers) EXPECT_FALSE(parse_relay_answer(bad));
}

}  // namespace
}  // namespace kavri
