// kavri-relay's core: serves the simulator's local link to cockpits across the network. Each
// cockpit proves the key, then gets a local link of its own (its own request area), opened when
// it asks for the server; each block it sends goes to the simulator as one exchange, whole, and
// comes back whole. Every cockpit is served on a worker of its own and every send to it is
// bounded, so one that stalls is dropped without delaying the others.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/result.h"
#include "netlink/net_address.h"
#include "netlink/sealed_channel.h"
#include "relay/refusal_notes.h"
#include "simlink/ipc_transport.h"

namespace kavri {

class TcpListener;

inline constexpr std::size_t RELAY_MAX_COCKPITS = 8;

struct RelayOptions {
  NetAddress listen;
  LinkKey key{};
  std::vector<Ipv4Range> allow;  // empty: any address holding the key
  // A new local link for one cockpit (the program: make_platform_transport).
  std::function<std::unique_ptr<IpcTransport>()> local_link;
  // A connection that has not proved the key within this is closed, so a stranger cannot hold
  // one of the cockpits' places.
  Millis handshake_bound{5000};
  // A cockpit that does not take an answer within this is dropped.
  Millis send_bound{2000};
  // The simulator's time for one exchange; under the cockpit's own bound, so the cockpit hears
  // of a silent simulator before its attempt ends.
  Millis exchange_bound{1500};
};

class Relay {
 public:
  // `tell` receives the lines for standard error (refusals, at most one a second).
  Relay(Env& env, RelayOptions options, std::function<void(const std::string&)> tell);
  ~Relay();  // stops and joins every worker
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  // Listens and starts accepting on a worker.
  Status start();
  // The port it listens on, once started.
  std::uint16_t port() const;
  // The cockpits being served now.
  std::size_t cockpits() const;

 private:
  struct Place {
    Worker worker;
    std::atomic<bool> busy{false};
  };
  void accept_loop(std::stop_token stop);

  Env& env_;
  RelayOptions options_;
  RefusalNotes notes_;
  std::function<void(const std::string&)> tell_;
  std::unique_ptr<TcpListener> listener_;
  std::array<Place, RELAY_MAX_COCKPITS> places_;
  std::atomic<std::uint32_t> areas_made_{0};
  Worker acceptor_;  // last: stopped first
};

}  // namespace kavri
