#include "relay/relay_server.h"

#include <algorithm>

#include "netlink/tcp_stream.h"
#include "relay/cockpit_session.h"

namespace kavri {
namespace {

// How long one wait for a connection lasts before the stop is looked at again.
constexpr Millis ACCEPT_WAIT{250};

bool allowed(const std::vector<Ipv4Range>& allow, Ipv4 address) {
  return allow.empty() || std::any_of(allow.begin(), allow.end(), [&](const Ipv4Range& range) {
           return range.contains(address);
         });
}

}  // namespace

Relay::Relay(Env& env, RelayOptions options, std::function<void(const std::string&)> tell)
    : env_(env), options_(std::move(options)), notes_(env, tell), tell_(std::move(tell)) {}

Relay::~Relay() {
  acceptor_.stop_and_join();
  // All asked first: a worker in a send to a stalled cockpit ends within the send's bound, and
  // all of them within one bound, not one after the other.
  for (Place& place : places_) place.worker.request_stop();
  for (Place& place : places_) place.worker.stop_and_join();
}

Status Relay::start() {
  auto listener = listen_tcp(options_.listen);
  if (!listener) return fail(listener.error());
  listener_ = std::move(*listener);
  return start_worker(
      env_, acceptor_, [this](std::stop_token stop) { accept_loop(stop); }, "relay's listening");
}

std::uint16_t Relay::port() const { return listener_ != nullptr ? listener_->local_port() : 0; }

std::size_t Relay::cockpits() const {
  return static_cast<std::size_t>(std::count_if(
      places_.begin(), places_.end(), [](const Place& place) { return place.busy.load(); }));
}

void Relay::accept_loop(std::stop_token stop) {
  while (!stop.stop_requested()) {
    auto accepted = listener_->accept(ACCEPT_WAIT, stop);
    if (!accepted) {
      tell_(accepted.error());
      env_.sleep_for(ACCEPT_WAIT, stop);  // out of descriptors, say: never a busy loop
      continue;
    }
    std::unique_ptr<TcpStream> stream = std::move(*accepted);
    if (stream == nullptr) continue;
    const std::string peer = ipv4_text(stream->peer());
    if (!allowed(options_.allow, stream->peer())) {
      notes_.refused("a connection from " + peer + ", outside --allow");
      continue;
    }
    const auto free = std::find_if(places_.begin(), places_.end(),
                                   [](const Place& place) { return !place.busy.load(); });
    if (free == places_.end()) {
      notes_.refused("a connection from " + peer + ": already " +
                     std::to_string(RELAY_MAX_COCKPITS) + " cockpits");
      continue;
    }
    Place& place = *free;
    place.worker.stop_and_join();  // its cockpit has left: joins at once
    place.busy = true;
    // The stream moves into the worker, which owns it until its cockpit leaves.
    auto body = [this, &place,
                 owned = std::make_shared<std::unique_ptr<TcpStream>>(std::move(stream))](
                    std::stop_token worker_stop) {
      serve_cockpit(std::move(*owned), options_, notes_, areas_made_, worker_stop);
      place.busy = false;
    };
    if (const Status started = start_worker(env_, place.worker, body, "cockpit's"); !started) {
      place.busy = false;
      tell_(started.error() + "; the connection from " + peer + " is closed");
    }
  }
}

}  // namespace kavri
