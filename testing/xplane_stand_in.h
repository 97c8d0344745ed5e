// A stand-in for X-Plane's UDP interface, written from X-Plane's "Sending Data to X-Plane"
// document: it takes RREF subscriptions (answering each subscriber, at each subscription's
// rate, with one RREF answer holding every (index, value) pair due, until a request of
// frequency 0 ends it) and DREF writes (which set the dataref), on a UDP port of an address
// of its own (127.0.0.1 unless told), and may announce itself with a BECN beacon once a second
// on the beacon's multicast group. It can be stopped and started again, forgetting its
// subscriptions as a restarted X-Plane does.
// POSIX only; for tests, and the xplane-stand-in program of the Windows checks.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kavri::testing {

class XplaneStandIn {
 public:
  struct Request {
    std::int32_t frequency = 0;
    std::int32_t index = 0;
    std::string name;
  };

  XplaneStandIn() = default;
  ~XplaneStandIn() { stop(); }
  XplaneStandIn(const XplaneStandIn&) = delete;
  XplaneStandIn& operator=(const XplaneStandIn&) = delete;

  // Listens on `address`:`port` (0: the system's choice); false when it cannot. With
  // `beacon`, announces that port on the beacon's group from `address` once a second.
  bool start(std::uint16_t port = 0, const std::string& address = "127.0.0.1", bool beacon = false);
  // Stops answering and forgets every subscription.
  void stop();
  std::uint16_t port() const { return port_; }

  // The value X-Plane has for a dataref (0 for one never set).
  void set(const std::string& name, float value);
  float value(const std::string& name) const;

  std::size_t subscriptions() const;
  // Every RREF request received so far.
  std::vector<Request> requests() const;
  // Every DREF received so far, as (name, value).
  std::vector<std::pair<std::string, float>> drefs() const;

 private:
  struct Subscription {
    std::uint32_t host = 0;  // the subscriber's address and port, network order
    std::uint16_t port = 0;
    std::int32_t index = 0;
    std::int32_t frequency = 0;
    std::string name;
    std::int64_t next_ms = 0;
  };
  void serve(std::stop_token stop);
  void take(const char* bytes, std::size_t size, std::uint32_t host, std::uint16_t port);
  void answer(std::int64_t now_ms);
  void announce(std::int64_t now_ms);

  int fd_ = -1;
  std::uint16_t port_ = 0;
  bool beacon_ = false;
  std::int64_t next_beacon_ms_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, float> values_;
  std::vector<Subscription> subscriptions_;
  std::vector<Request> requests_;
  std::vector<std::pair<std::string, float>> drefs_;
  std::jthread thread_;
};

}  // namespace kavri::testing
