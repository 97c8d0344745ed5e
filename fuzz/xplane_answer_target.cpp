// A datagram on kavri-xplane's port, from X-Plane or from anyone on the network, against the
// built-in map: a refused one changes no offset.
#include "bridges/xplane_bridge.h"
#include "bridges/xplane_map.h"
#include "fuzz/bridge_datagram.h"
#include "testing/fake_env.h"
#include "testing/files.h"

namespace kavri::fuzz {

void fuzz_xplane_answer(Bytes input) {
  static const ScratchDirectory scratch;
  static FakeEnv env;
  static SilentSocket socket;
  static bool accepted = false;
  static XplaneBridge bridge(
      env, builtin_xplane_map(), socket, 20,
      {.directory = scratch.path(), .on_values = [](auto) { accepted = true; }, .on_news = {}});
  expect_refused_datagram_changes_nothing(bridge, accepted, input);
}

}  // namespace kavri::fuzz
