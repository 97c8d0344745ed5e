// The UDP socket contract: what the bridges may count on from a UDP socket backend
// (bridges/udp_socket.h), checked by one set of tests (bridges/udp_socket_contract_test.cpp) on
// each backend. A test program runs them on a backend by instantiating the suite with it:
//   INSTANTIATE_TEST_SUITE_P(Posix, UdpSocketContract, ::testing::Values(UdpSocketBackend{...}));
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "base/result.h"
#include "bridges/udp_socket.h"

namespace kavri::testing {

// One backend under the contract: its name in the tests' names, its factory, and what it shows
// of the system under it.
struct UdpSocketBackend {
  const char* name;
  Result<std::unique_ptr<UdpSocket>> (*make)(const NetAddress& local, const NetAddress& peer,
                                             const std::string& accept);
  // The words for a datagram the system will not send (a broadcast from a socket not allowed
  // one).
  const char* refused_send_reason;
  // A socket bound to 127.0.0.2 sends from that address; false under Wine, which binds any
  // address outside the machine's interfaces as the wildcard.
  bool binds_any_loopback_address = true;
};
inline void PrintTo(const UdpSocketBackend& backend, std::ostream* out) { *out << backend.name; }

class UdpSocketContract : public ::testing::TestWithParam<UdpSocketBackend> {
 protected:
  // A socket of the backend on 127.0.0.1, or a test failure saying why there is none.
  std::unique_ptr<UdpSocket> make(const NetAddress& local, const NetAddress& peer,
                                  const std::string& accept) {
    auto made = GetParam().make(local, peer, accept);
    EXPECT_TRUE(made) << made.error();
    return made ? std::move(made).value() : nullptr;
  }
};

}  // namespace kavri::testing
