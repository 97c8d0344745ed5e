#include "bridges/beacon_listener.h"

#include "bridges/xplane_datagrams.h"

namespace kavri {
namespace {

// Interfaces that come up while the bridge waits (a cable plugged in, a VPN) are joined too.
constexpr Millis JOIN_AGAIN{1000};
constexpr Millis RECEIVE_WAIT{50};

}  // namespace

Result<NetAddress> wait_for_xplane_beacon(Env& env, BeaconSocket& socket, Millis limit,
                                          const std::function<bool()>& keep_waiting) {
  const std::int64_t give_up = env.now_ms() + limit.count();
  std::int64_t next_join = env.now_ms();
  while (keep_waiting() && env.now_ms() < give_up) {
    if (env.now_ms() >= next_join) {
      socket.join_new_interfaces();
      next_join = env.now_ms() + JOIN_AGAIN.count();
    }
    const auto datagram = socket.receive(RECEIVE_WAIT);
    // A beacon sent to this computer alone is no X-Plane's: anyone may send one, to aim the
    // subscriptions elsewhere.
    if (!datagram || !datagram->to_group) continue;
    if (const auto port = beacon_port(datagram->bytes)) {
      return NetAddress{datagram->sender_host, *port};
    }
  }
  return fail("no beacon from X-Plane");
}

}  // namespace kavri
