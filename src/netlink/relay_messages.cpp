#include "netlink/relay_messages.h"

#include <string>

namespace kavri {
namespace {

// Exchange fields: kind, sequence, (the answer's outcome byte and reply value,) the block's
// length. The length is there so that a body cut short is seen as such, never taken for a
// shorter block.
constexpr std::size_t REQUEST_HEADER = 1 + 4 + 4;
constexpr std::size_t ANSWER_HEADER = 1 + 4 + 1 + 4 + 4;

enum Outcome : std::uint8_t { no_reply = 0, answered = 1, system_error = 2 };
constexpr std::uint8_t NO_SERVER = 0xFF;

void append_le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.resize(out.size() + 4);
  store_le32(out.data() + out.size() - 4, value);
}

bool block_size_ok(std::size_t size) { return size >= RELAY_BLOCK_MIN && size <= IPC_AREA_SIZE; }

}  // namespace

std::vector<std::uint8_t> encode(const CockpitRequest& request) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(request.kind)};
  if (request.kind == CockpitRequest::Kind::exchange) {
    append_le32(out, request.sequence);
    append_le32(out, static_cast<std::uint32_t>(request.block.size()));
    out.insert(out.end(), request.block.begin(), request.block.end());
  }
  return out;
}

Result<CockpitRequest> parse_cockpit_request(std::span<const std::uint8_t> body) {
  if (body.size() == 1 && body[0] == static_cast<std::uint8_t>(CockpitRequest::Kind::find_server)) {
    return CockpitRequest{};
  }
  if (body.empty() || body[0] != static_cast<std::uint8_t>(CockpitRequest::Kind::exchange)) {
    return fail("a cockpit's message of unknown kind or length");
  }
  if (body.size() < REQUEST_HEADER || !block_size_ok(body.size() - REQUEST_HEADER) ||
      load_le32(body.data() + 5) != body.size() - REQUEST_HEADER) {
    return fail("a cockpit's request block of " + std::to_string(body.size()) +
                " bytes with its header, outside the area's bounds");
  }
  return CockpitRequest{CockpitRequest::Kind::exchange,
                        load_le32(body.data() + 1),
                        {body.begin() + REQUEST_HEADER, body.end()}};
}

std::vector<std::uint8_t> encode(const RelayAnswer& answer) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(answer.kind)};
  if (answer.kind == RelayAnswer::Kind::server) {
    out.push_back(answer.server ? static_cast<std::uint8_t>(*answer.server) : NO_SERVER);
    return out;
  }
  append_le32(out, answer.sequence);
  const Outcome outcome = answer.reply.answered       ? answered
                          : answer.reply.system_error ? system_error
                                                      : no_reply;
  out.push_back(outcome);
  append_le32(out, answer.reply.answered ? answer.reply.value : 0);
  append_le32(out, answer.reply.answered ? static_cast<std::uint32_t>(answer.block.size()) : 0);
  if (answer.reply.answered) out.insert(out.end(), answer.block.begin(), answer.block.end());
  return out;
}

Result<RelayAnswer> parse_relay_answer(std::span<const std::uint8_t> body) {
  RelayAnswer answer;
  if (body.size() == 2 && body[0] == static_cast<std::uint8_t>(RelayAnswer::Kind::server)) {
    if (body[1] == NO_SERVER) return answer;
    if (body[1] > static_cast<std::uint8_t>(IpcServerClass::fs98main)) {
      return fail("the relay named an unknown server class");
    }
    answer.server = static_cast<IpcServerClass>(body[1]);
    return answer;
  }
  if (body.size() < ANSWER_HEADER ||
      body[0] != static_cast<std::uint8_t>(RelayAnswer::Kind::exchange)) {
    return fail("a relay's message of unknown kind or length");
  }
  answer.kind = RelayAnswer::Kind::exchange;
  answer.sequence = load_le32(body.data() + 1);
  const std::uint8_t outcome = body[5];
  const std::size_t block = body.size() - ANSWER_HEADER;
  if (outcome > system_error || (outcome == answered) != (block > 0) ||
      (outcome == answered && !block_size_ok(block)) || load_le32(body.data() + 10) != block ||
      (outcome != answered && load_le32(body.data() + 6) != 0)) {
    return fail("a relay's answer with an unknown outcome or a block out of bounds");
  }
  answer.reply = IpcReply{outcome == answered, load_le32(body.data() + 6), outcome == system_error};
  answer.block.assign(body.begin() + ANSWER_HEADER, body.end());
  return answer;
}

}  // namespace kavri
