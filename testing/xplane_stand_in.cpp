#include "testing/xplane_stand_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstring>

#include "bridges/xplane_datagrams.h"

namespace kavri::testing {
namespace {

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint32_t read_u32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

// The zero-terminated name of a field of `size` bytes.
std::string field_name(const char* bytes, std::size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

}  // namespace

bool XplaneStandIn::start(std::uint16_t port, const std::string& host, bool beacon) {
  stop();
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  // The beacon leaves from the interface of `host`, as X-Plane's from its network's.
  if (fd_ < 0 || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      (beacon && setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &address.sin_addr,
                            sizeof address.sin_addr) != 0) ||
      bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    stop();
    return false;
  }
  port_ = ntohs(address.sin_port);
  beacon_ = beacon;
  next_beacon_ms_ = 0;
  thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
  return true;
}

void XplaneStandIn::stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  std::lock_guard lock(mutex_);
  subscriptions_.clear();
}

void XplaneStandIn::set(const std::string& name, float value) {
  std::lock_guard lock(mutex_);
  values_[name] = value;
}

float XplaneStandIn::value(const std::string& name) const {
  std::lock_guard lock(mutex_);
  const auto found = values_.find(name);
  return found == values_.end() ? 0.0f : found->second;
}

std::size_t XplaneStandIn::subscriptions() const {
  std::lock_guard lock(mutex_);
  return subscriptions_.size();
}

std::vector<XplaneStandIn::Request> XplaneStandIn::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::pair<std::string, float>> XplaneStandIn::drefs() const {
  std::lock_guard lock(mutex_);
  return drefs_;
}

void XplaneStandIn::serve(std::stop_token stop) {
  std::vector<char> buffer(65536);
  while (!stop.stop_requested()) {
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, 5) > 0) {
      sockaddr_in sender{};
      socklen_t length = sizeof sender;
      const ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&sender), &length);
      if (got > 0) {
        take(buffer.data(), static_cast<std::size_t>(got), sender.sin_addr.s_addr, sender.sin_port);
      }
    }
    answer(now_ms());
    announce(now_ms());
  }
}

void XplaneStandIn::take(const char* bytes, std::size_t size, std::uint32_t host,
                         std::uint16_t port) {
  std::lock_guard lock(mutex_);
  if (size == 413 && std::memcmp(bytes, "RREF\0", 5) == 0) {
    const auto frequency = static_cast<std::int32_t>(read_u32(bytes + 5));
    const auto index = static_cast<std::int32_t>(read_u32(bytes + 9));
    const std::string name = field_name(bytes + 13, 400);
    requests_.push_back({frequency, index, name});
    std::erase_if(subscriptions_, [&](const Subscription& s) {
      return s.host == host && s.port == port && s.index == index;
    });
    if (frequency > 0) subscriptions_.push_back({host, port, index, frequency, name, now_ms()});
  } else if (size == 509 && std::memcmp(bytes, "DREF\0", 5) == 0) {
    const float value = std::bit_cast<float>(read_u32(bytes + 5));
    const std::string name = field_name(bytes + 9, 500);
    drefs_.emplace_back(name, value);
    values_[name] = value;
  }
}

void XplaneStandIn::answer(std::int64_t now) {
  std::lock_guard lock(mutex_);
  // The pairs due, by subscriber: each subscriber gets its own answers.
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::vector<const Subscription*>> due;
  for (Subscription& s : subscriptions_) {
    if (now < s.next_ms) continue;
    s.next_ms = now + 1000 / s.frequency;
    due[{s.host, s.port}].push_back(&s);
  }
  for (const auto& [address, subscriptions] : due) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address.first;
    to.sin_port = address.second;
    // X-Plane packs every pair due for one subscriber in one answer.
    std::vector<RrefValue> pairs;
    for (const Subscription* subscription : subscriptions) {
      const auto found = values_.find(subscription->name);
      pairs.push_back({subscription->index, found == values_.end() ? 0.0f : found->second});
    }
    const std::string datagram = rref_answer(pairs);
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  }
}

void XplaneStandIn::announce(std::int64_t now) {
  if (!beacon_ || now < next_beacon_ms_) return;
  next_beacon_ms_ = now + 1000;
  sockaddr_in group{};
  group.sin_family = AF_INET;
  group.sin_port = htons(BEACON_PORT);
  inet_pton(AF_INET, BEACON_GROUP, &group.sin_addr);
  const std::string datagram = becn_beacon(port_, "stand-in");
  sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&group),
         sizeof group);
}

}  // namespace kavri::testing
