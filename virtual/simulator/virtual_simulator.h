// The virtual simulator: an offset space that flies a profile, served through the platform's
// link by a server thread of its own. kavri-sim runs it alone; kavri-bench and the tests
// run it beside the driver.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/env.h"
#include "base/result.h"
#include "server/ipc_server.h"
#include "server/offset_space.h"
#include "server/request_server.h"
#include "virtual/simulator/sim_profile.h"

namespace kavri {

struct SimOptions {
  IpcServerClass server_class = IpcServerClass::uipcmain;
  std::string directory;              // POSIX: where the socket goes; empty: the per-user directory
  std::optional<SimProfile> profile;  // empty: the demo flight
  bool fly = true;                    // false: no profile runs, offsets change only by writes
  std::vector<SimPin> pins;           // held values, applied before serving
  WriteObserver on_write;             // each client write, on the server's thread
};

class VirtualSimulator {
 public:
  VirtualSimulator(Env& env, SimOptions options);
  ~VirtualSimulator();  // stops

  // Pins the values, starts the flight and serves the socket. Fails when the socket cannot be
  // served (for instance another server holds it) or the system refuses a thread; start() may
  // be tried again.
  Status start();
  // Stops serving (the socket is removed) and flying; the offsets stay as they are.
  void stop();

  OffsetSpace& offsets() { return space_; }

 private:
  Env& env_;
  SimOptions options_;
  SimProfile profile_;
  OffsetSpace space_;
  std::unique_ptr<IpcServer> server_;
  Worker flight_;
};

}  // namespace kavri
