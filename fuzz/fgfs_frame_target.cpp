// A datagram on kavri-fgfs's port, from FlightGear or from anyone on the network, against the
// built-in map: a refused one changes no offset.
#include "bridges/fgfs_bridge.h"
#include "fuzz/bridge_datagram.h"
#include "testing/fake_env.h"
#include "testing/files.h"

namespace kavri::fuzz {

void fuzz_fgfs_frame(Bytes input) {
  static const ScratchDirectory scratch;
  static FakeEnv env;
  static SilentSocket socket;
  static bool accepted = false;
  static FgfsBridge bridge(
      env, builtin_fgfs_map(), socket,
      {.directory = scratch.path(), .on_values = [](auto) { accepted = true; }, .on_news = {}});
  expect_refused_datagram_changes_nothing(bridge, accepted, input);
}

}  // namespace kavri::fuzz
