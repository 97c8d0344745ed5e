// Cutting the relay link's stream into messages. The length comes first, so a length above any
// message's is refused as soon as its 4 bytes are in, before the bytes it announces are kept.
#include <algorithm>
#include <string>

#include "netlink/sealed_channel.h"
#include "netlink/sealed_wire.h"

namespace kavri {
namespace {

using namespace sealed_wire;

// The length the pending bytes announce, when its 4 bytes are in.
std::optional<std::size_t> announced_length(const std::vector<std::uint8_t>& pending) {
  if (pending.size() < LENGTH_BYTES) return std::nullopt;
  return static_cast<std::size_t>(load_le(pending.data(), LENGTH_BYTES));
}

}  // namespace

void MessageReader::feed(std::span<const std::uint8_t> bytes) {
  // Behind a length that next() refuses nothing more is kept: the stream is to be closed.
  const auto length = announced_length(pending_);
  if (length && *length > CONTENT_MAX) return;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

Result<std::optional<std::vector<std::uint8_t>>> MessageReader::next() {
  const auto length = announced_length(pending_);
  if (!length) return std::optional<std::vector<std::uint8_t>>{};
  if (*length > CONTENT_MAX) {
    // Drop what came after it, so a reader nobody closes keeps nothing for it.
    pending_.resize(LENGTH_BYTES);
    return fail("the peer announced a message of " + std::to_string(*length) +
                " bytes, longer than any this link sends");
  }
  const std::size_t whole = LENGTH_BYTES + *length;
  if (pending_.size() < whole) return std::optional<std::vector<std::uint8_t>>{};
  std::vector<std::uint8_t> message(pending_.begin(), pending_.begin() + whole);
  pending_.erase(pending_.begin(), pending_.begin() + whole);
  return std::optional{std::move(message)};
}

}  // namespace kavri
