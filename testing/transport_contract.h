// The IPC transport contract: the rules every transport backend keeps for the client, whatever
// carries its exchanges, checked by one set of tests (src/simlink/transport_contract_test.cpp)
// on each backend. A test program runs them on a backend by instantiating the suite with that
// backend's rig (a TransportRig constructed from the offset space it serves):
//   INSTANTIATE_TEST_SUITE_P(Posix, IpcTransportContract,
//                            ::testing::Values(TransportBackend{"posix", &rig_of<PosixRig>}));
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "server/ipc_server.h"
#include "server/offset_space.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"

namespace kavri::testing {

// What a backend can show of itself; a rule that needs what it lacks is skipped for it.
struct TransportTraits {
  // Servers start and stop apart from the transport, and the transport finds them; false when
  // the server is part of the transport, always there under UIPCMAIN (in-process).
  bool servers_come_and_go = true;
  // The area is a system object under the name the client gives it, which another program can
  // hold; false when it is the transport's own memory.
  bool names_areas = true;
};

// One backend in a test's hands: the transport under test and the servers it can reach.
class TransportRig {
 public:
  virtual ~TransportRig() = default;
  virtual TransportTraits traits() const = 0;
  // The transport under test, the same for the rig's whole life.
  virtual IpcTransport& transport() = 0;
  // Serves the rig's offset space under `server_class` where the transport looks for its
  // server, beside any server started already; false when it could not.
  virtual bool serve(IpcServerClass server_class) = 0;
  // Stops every server started by serve().
  virtual void stop_serving() = 0;
  // Makes a system object under the area name `name`, as another program holding that name
  // would, with content of its own; false when it could not.
  virtual bool occupy_area(const std::string& name) = 0;
  // True while the object made by occupy_area is there with its content as it was.
  virtual bool occupant_intact() = 0;
  // True while anything the transport made under the area name `name` is in the system (the
  // occupant's object does not count).
  virtual bool holds_name(const std::string& name) = 0;
};

// A rig whose servers are the platform's (server/ipc_server.h), on threads of this process.
class PlatformServerRig : public TransportRig {
 public:
  explicit PlatformServerRig(OffsetSpace& space) : space_(space) {}

  bool serve(IpcServerClass server_class) override {
    auto server = make_platform_ipc_server(env_, space_, {}, server_directory());
    if (!server->start(server_class)) return false;
    servers_.push_back(std::move(server));
    return true;
  }
  void stop_serving() override { servers_.clear(); }

 protected:
  // Where a POSIX server's socket goes; empty: the per-user directory.
  virtual std::string server_directory() const { return {}; }
  bool serving() const { return !servers_.empty(); }

 private:
  OffsetSpace& space_;
  SystemEnv env_;
  std::vector<std::unique_ptr<IpcServer>> servers_;
};

// A backend under the contract: its name in the tests' names, and its rig serving `space`, which
// outlives the rig.
struct TransportBackend {
  const char* name;
  std::unique_ptr<TransportRig> (*make_rig)(OffsetSpace& space);
};
inline void PrintTo(const TransportBackend& backend, std::ostream* out) { *out << backend.name; }

template <class Rig>
std::unique_ptr<TransportRig> rig_of(OffsetSpace& space) {
  return std::make_unique<Rig>(space);
}

class IpcTransportContract : public ::testing::TestWithParam<TransportBackend> {
 protected:
  void SetUp() override {
    rig = GetParam().make_rig(space);
    ASSERT_NE(rig, nullptr);
    client = std::make_unique<IpcClient>(env, rig->transport());
  }
  void TearDown() override {
    if (client != nullptr) client->ipc_close();
  }

  // The name the client gives the area of its `open`-th open.
  std::string area_name(unsigned open) {
    char name[48];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", rig->transport().process_id(), open);
    return name;
  }

  OffsetSpace space;
  FakeEnv env;  // the client's pauses between attempts take no real time
  std::unique_ptr<TransportRig> rig;
  std::unique_ptr<IpcClient> client;
  IpcResult result = IpcResult::ok;
};

}  // namespace kavri::testing
