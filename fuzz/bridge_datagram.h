// What every bridge front end promises of a datagram from anyone on the network: one that the
// bridge refuses changes no offset. Shared by the FlightGear and X-Plane targets.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "bridges/bridge.h"
#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {

// A socket that never receives and drops what it sends: datagrams go to take_datagram.
class SilentSocket final : public UdpSocket {
 public:
  std::optional<std::size_t> receive(std::span<char>, Millis) override { return std::nullopt; }
  bool send(std::string_view) override { return true; }
  std::uint16_t local_port() const override { return 0; }
};

// Feeds `input` to `bridge`, whose options' on_values sets `accepted`.
inline void expect_refused_datagram_changes_nothing(Bridge& bridge, bool& accepted, Bytes input) {
  using Offsets = std::array<std::uint8_t, OffsetSpace::SIZE>;
  static auto before = std::make_unique<Offsets>();
  static auto after = std::make_unique<Offsets>();
  bridge.offsets().read(0, *before);
  accepted = false;
  bridge.take_datagram(as_text(input));
  bridge.offsets().read(0, *after);
  expect(accepted || *before == *after, "a refused datagram changes no offset");
}

}  // namespace kavri::fuzz
