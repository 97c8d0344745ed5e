// A datagram on kavri-fgfs's port, from FlightGear or from anyone on the network, against the
// built-in map: a refused one changes no offset.
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "bridges/fgfs_bridge.h"
#include "fuzz/fuzz_target.h"
#include "testing/fake_env.h"
#include "testing/files.h"

namespace kavri::fuzz {
namespace {

// A socket that never receives and drops what it sends: datagrams go to take_datagram.
class SilentSocket final : public UdpSocket {
 public:
  std::optional<std::size_t> receive(std::span<char>, Millis) override { return std::nullopt; }
  bool send(std::string_view) override { return true; }
  std::uint16_t local_port() const override { return 0; }
};

using Offsets = std::array<std::uint8_t, OffsetSpace::SIZE>;

}  // namespace

void fuzz_fgfs_frame(Bytes input) {
  static const ScratchDirectory scratch;
  static FakeEnv env;
  static SilentSocket socket;
  static bool accepted = false;
  static FgfsBridge bridge(env, builtin_fgfs_map(), socket,
                           {.directory = scratch.path(),
                            .on_frame = [](const Frame&) { accepted = true; },
                            .on_news = {}});
  static auto before = std::make_unique<Offsets>();
  static auto after = std::make_unique<Offsets>();
  bridge.offsets().read(0, *before);
  accepted = false;
  bridge.take_datagram(as_text(input));
  bridge.offsets().read(0, *after);
  expect(accepted || *before == *after, "a refused datagram changes no offset");
}

}  // namespace kavri::fuzz
