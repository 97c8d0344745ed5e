// The FlightGear bridge: FlightGear's generic-protocol frames in, converted by the map into an
// offset space that it serves to the driver as any simulator does, and the driver's writes of
// the map's write lines back out to FlightGear as generic-protocol input.
//
// It serves only while frames arrive: from the first accepted frame until SILENCE passes
// without one (measured on the Env's clock), so the driver shows the link down while
// FlightGear is paused, gone or not yet started. It sends FlightGear nothing before the first
// frame, and then only lines of well-formed numbers, each ending with "\n".
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "base/env.h"
#include "bridges/fgfs_frame.h"
#include "bridges/fgfs_input.h"
#include "bridges/fgfs_map.h"
#include "bridges/udp_socket.h"
#include "server/ipc_server.h"
#include "server/offset_space.h"

namespace kavri {

struct FgfsBridgeOptions {
  IpcServerClass server_class = IpcServerClass::uipcmain;
  std::string directory;  // POSIX: where the server's socket goes; empty: the per-user one
  // Each accepted frame, on the bridge's thread.
  std::function<void(const Frame&)> on_frame;
  // What a user should know (serving, stopped, refused datagrams, a server that cannot
  // start), one sentence at a time, on the bridge's thread.
  std::function<void(const std::string&)> on_news;
};

class FgfsBridge {
 public:
  static constexpr Millis SILENCE{2000};
  // While the driver keeps writing, its values are sent again this often even unchanged, so
  // that FlightGear follows the card's levers after changing them by itself.
  static constexpr Millis RESEND{1000};
  // How long the thread waits for a datagram before it looks at the clock again.
  static constexpr Millis RECEIVE_WAIT{50};

  // `socket` outlives the bridge.
  FgfsBridge(Env& env, FgfsMap map, UdpSocket& socket, FgfsBridgeOptions options = {});
  ~FgfsBridge();  // stops
  FgfsBridge(const FgfsBridge&) = delete;
  FgfsBridge& operator=(const FgfsBridge&) = delete;

  // Starts the thread that receives datagrams and runs the two steps below.
  void start();
  // Stops the thread and the server; the offsets stay as they are.
  void stop();

  // The thread's steps, public for tests on virtual time (never call them while it runs).
  // One datagram: a frame is written into the offsets and starts the serving; anything else
  // changes nothing but a count of refused datagrams.
  void take_datagram(std::string_view datagram);
  // Stops serving after SILENCE, sends the driver's values again after RESEND, and tells
  // of refused datagrams (at most once a second).
  void tick();

  bool serving() const { return serving_.load(); }
  OffsetSpace& offsets() { return space_; }

 private:
  void start_serving(std::int64_t now);
  void on_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes);
  void send_input(std::int64_t now);  // with input_mutex_ held
  void news(const std::string& sentence) const;

  Env& env_;
  const FgfsMap map_;
  UdpSocket& socket_;
  FgfsBridgeOptions options_;
  OffsetSpace space_;
  std::unique_ptr<IpcServer> server_;
  std::atomic<bool> serving_{false};
  // The bridge thread's own.
  std::int64_t last_frame_ms_ = 0;
  std::int64_t next_serve_attempt_ms_ = 0;
  std::int64_t refused_ = 0;
  std::string last_refusal_;
  std::int64_t next_refusal_news_ms_ = 0;
  // Shared by the bridge thread (frames) and the server thread (driver writes).
  std::mutex input_mutex_;
  FgfsInput input_;
  std::int64_t last_send_ms_ = 0;
  bool written_since_send_ = false;
  Worker worker_;
};

}  // namespace kavri
