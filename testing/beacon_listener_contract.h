// The beacon listener contract: how X-Plane is found through each beacon socket backend
// (bridges/beacon_socket.h, bridges/beacon_listener.h), checked by one set of tests
// (bridges/beacon_listener_contract_test.cpp) on each backend. A test program runs them on its
// platform's backend by instantiating the suite with that backend's rig:
//   INSTANTIATE_TEST_SUITE_P(Posix, BeaconListenerContract,
//                            ::testing::Values(BeaconBackend{"posix", &beacon_rig_of<PosixRig>}));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "testing/fake_env.h"

namespace kavri::testing {

// Where a backend's sockets may send and listen in a test: never onto a network of the machine.
class BeaconRig {
 public:
  virtual ~BeaconRig() = default;
  // True when datagrams to the beacon's group reach the sockets of `run_apart` and go nowhere
  // else; a rule that needs them is skipped otherwise.
  virtual bool carries_group() const = 0;
  // Runs `work` where the sockets it makes, and their traffic, stay on this computer (loopback
  // included): "" when it ran, otherwise why it could not.
  virtual std::string run_apart(const std::function<void()>& work) = 0;
};

struct BeaconBackend {
  const char* name;
  std::unique_ptr<BeaconRig> (*make_rig)();
};
inline void PrintTo(const BeaconBackend& backend, std::ostream* out) { *out << backend.name; }

template <class Rig>
std::unique_ptr<BeaconRig> beacon_rig_of() {
  return std::make_unique<Rig>();
}

class BeaconListenerContract : public ::testing::TestWithParam<BeaconBackend> {
 protected:
  void SetUp() override { rig = GetParam().make_rig(); }

  std::unique_ptr<BeaconRig> rig;
  FakeEnv env;  // the listener's time: its limit and its joins run on it
};

}  // namespace kavri::testing
