// The server side of the POSIX transport: listens on the class's socket in the per-user
// directory and answers each exchange by carrying out the named area's records. Runs on a
// thread of its own that notices a stop within a tenth of a second.
#pragma once

#include <memory>
#include <string>

#include "base/env.h"
#include "simlink/ipc_transport.h"
#include "virtual/simulator/offset_space.h"
#include "virtual/simulator/request_server.h"

namespace kavri {

class PosixIpcServer {
 public:
  // `space` must outlive the server; `on_write` runs on the server's thread.
  PosixIpcServer(Env& env, OffsetSpace& space, WriteObserver on_write);
  ~PosixIpcServer();  // stops

  // Prepares `directory` (mode 0700), takes the class's socket (a stale one left by a server
  // that died is replaced; a live one is not) and starts serving. False, with the reason in
  // `error`, when it cannot.
  bool start(const std::string& directory, IpcServerClass server_class, std::string& error);
  // Closes every connection and removes the socket; harmless when not running.
  void stop();

 private:
  struct Listener;
  Env& env_;
  OffsetSpace& space_;
  WriteObserver on_write_;
  std::unique_ptr<Listener> listener_;
  Worker worker_;
};

}  // namespace kavri
