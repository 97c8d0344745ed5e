// The bridge core that every simulator's front end shares: the simulator's values in, converted
// by the map into an offset space that it serves to the driver as any simulator does, and the
// driver's writes of the map's write lines back out to the simulator.
//
// A value beyond what its offset holds is set to the offset's nearest limit and a value that is
// not a number is dropped alone: the rest of its datagram is applied. Such values, refused
// datagrams, refused senders and failed sends are told at most once a second each.
//
// It serves only while values arrive: from the first accepted datagram until SILENCE passes
// without one (measured on the Env's clock), so the driver shows the link down while the
// simulator is paused, gone or not yet started. It sends the driver's values nothing before
// the simulator's first values, then on change (at most once per the front end's send period,
// the last value winning) and once a second while the driver keeps writing. It sends only
// values the driver wrote whole since the serving began: never a lever value of an earlier
// connection, nor one made of bytes the driver did not write.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/result.h"
#include "bridges/bridge_map.h"
#include "bridges/bridge_values.h"
#include "bridges/counted_news.h"
#include "bridges/udp_socket.h"
#include "bridges/write_back.h"
#include "server/ipc_server.h"
#include "server/offset_space.h"

namespace kavri {

// A simulator's value of one read line: its place among the map's read lines, and the value.
struct ReadValue {
  std::size_t read_index = 0;
  double value = 0;
};

// What a front end makes of one datagram: the values it carries, and the parts of it that it
// left out (how many, and why the last one was).
struct DecodedValues {
  std::vector<ReadValue> values;
  std::int64_t ignored = 0;
  std::string last_ignored;
};

// What a simulator's interface adds to the core: the format of its datagrams and what it sends.
// The core calls send_writes(), tick() and finish() with its send lock held, so the front end's
// sends never run on two threads at once; decode() runs on the bridge's thread alone.
class BridgeFrontEnd {
 public:
  virtual ~BridgeFrontEnd() = default;
  // The read lines' values in `datagram` (each index below the number of read lines; a value
  // may be anything, NaN included), or why the datagram is refused.
  virtual Result<DecodedValues> decode(std::string_view datagram) = 0;
  // Sends the driver's values to the simulator.
  virtual void send_writes(const WriteBack& writes) = 0;
  // At each step of the bridge's thread; `arriving` tells whether values arrive.
  virtual void tick(std::int64_t /*now_ms*/, bool /*arriving*/) {}
  // Once the bridge's thread has stopped.
  virtual void finish() {}
  // The shortest time between two sends of the driver's values.
  virtual Millis send_period() const = 0;
  // The news of values arriving, and of their silence.
  virtual std::string arriving_news() const = 0;
  virtual std::string silence_news() const = 0;
};

struct BridgeOptions {
  IpcServerClass server_class = IpcServerClass::uipcmain;
  std::string directory;  // POSIX: where the server's socket goes; empty: the per-user one
  // Each accepted datagram's offsets, on the bridge's thread.
  std::function<void(std::span<const OffsetValue>)> on_values;
  // What a user should know (serving, stopped, refused datagrams or senders, values set to
  // their limit or dropped, failed sends, a server that cannot start), one sentence at a
  // time, on the bridge's thread.
  std::function<void(const std::string&)> on_news;
};

class Bridge {
 public:
  static constexpr Millis SILENCE{2000};
  // While the driver keeps writing, its values are sent again this often even unchanged, so
  // that the simulator follows the card's levers after changing them by itself.
  static constexpr Millis RESEND{1000};
  // How long the thread waits for a datagram before it looks at the clock again.
  static constexpr Millis RECEIVE_WAIT{50};

  using FrontEndMaker =
      std::function<std::unique_ptr<BridgeFrontEnd>(const BridgeMap& map, UdpSocket& socket)>;

  // `socket` outlives the bridge.
  Bridge(Env& env, BridgeMap map, UdpSocket& socket, const FrontEndMaker& make_front_end,
         BridgeOptions options);
  ~Bridge();  // stops
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  // Starts the thread that receives datagrams and runs the two steps below. Fails when the
  // system refuses the thread: nothing runs then.
  Status start();
  // Stops the thread and the server; the offsets stay as they are.
  void stop();

  // The thread's steps, public for tests on virtual time (never call them while it runs).
  // One datagram: its values are written into the offsets (those beyond their offset set to
  // its limit, those not a number left out) and start the serving; a datagram refused whole
  // changes nothing but a count of refused datagrams.
  void take_datagram(std::string_view datagram);
  // Stops serving after SILENCE, sends the driver's values when due, and tells of troubles
  // (at most once a second each).
  void tick();

  bool serving() const { return serving_.load(); }
  OffsetSpace& offsets() { return space_; }

 private:
  void start_serving(std::int64_t now);
  void on_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes);
  void send_writes(std::int64_t now);  // with send_mutex_ held
  void news(const std::string& sentence) const;
  void tell_troubles(std::int64_t now);

  Env& env_;
  const BridgeMap map_;
  const std::vector<const MapLine*> reads_;
  UdpSocket& socket_;
  std::unique_ptr<BridgeFrontEnd> front_end_;
  BridgeOptions options_;
  OffsetSpace space_;
  std::unique_ptr<IpcServer> server_;
  std::atomic<bool> serving_{false};
  // The bridge thread's own.
  std::vector<double> values_;  // the simulator's last value of each read line
  std::optional<std::int64_t> last_values_ms_;
  std::int64_t next_serve_attempt_ms_ = 0;
  CountedNews refused_{"datagram(s) refused"};
  CountedNews ignored_{"part(s) of datagrams ignored"};
  CountedNews beyond_{"value(s) beyond their offset set to its nearest limit"};
  CountedNews not_numbers_{"value(s) that are not a number left out"};
  CountedNews strangers_{"datagram(s) from another host refused"};
  CountedNews failed_sends_{"datagram(s) that could not be sent"};
  // Shared by the bridge thread and the server thread (driver writes).
  std::mutex send_mutex_;
  WriteBack writes_;
  std::optional<std::int64_t> last_send_ms_;
  bool written_since_send_ = false;
  bool new_value_pending_ = false;
  Worker worker_;
};

}  // namespace kavri
