// The bodies a cockpit or a relay may be handed by the other end (inside messages whose MAC
// held: a peer holding the key, but broken or hostile). Parsing is total: any body parses or is
// refused, and what parses is encoded back to the very same bytes, so nothing read is guessed.
#include <vector>

#include "fuzz/fuzz_target.h"
#include "netlink/relay_messages.h"

namespace kavri::fuzz {

void fuzz_relay_messages(Bytes input) {
  const std::vector<std::uint8_t> body(input.begin(), input.end());
  if (const auto request = parse_cockpit_request(input)) {
    expect(encode(*request) == body, "a cockpit's request encodes back to its bytes");
  }
  if (const auto answer = parse_relay_answer(input)) {
    expect(encode(*answer) == body, "a relay's answer encodes back to its bytes");
  }
}

}  // namespace kavri::fuzz
