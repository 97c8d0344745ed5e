// A cockpit's requests are carried out one at a time, in the order they came, on the cockpit's
// own local link: the relay adds no queue and no reordering of its own.
#include "relay/cockpit_session.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "netlink/relay_messages.h"
#include "netlink/sealed_stream.h"

namespace kavri {
namespace {

// How long one wait for a cockpit's next request lasts before the stop is looked at again (a
// stop request also ends it at once).
constexpr Millis REQUEST_WAIT{60000};

class Session {
 public:
  Session(const RelayOptions& options, std::atomic<std::uint32_t>& areas_made, std::stop_token stop)
      : options_(options), areas_made_(areas_made), stop_(std::move(stop)) {}
  ~Session() {
    if (local_ != nullptr) local_->close();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  RelayAnswer answer(const CockpitRequest& request) {
    return request.kind == CockpitRequest::Kind::find_server ? find_server() : exchange(request);
  }

 private:
  // Opens the local link anew: the server found, with an area of this cockpit's own made for it.
  RelayAnswer find_server() {
    if (local_ == nullptr) local_ = options_.local_link();
    local_->close();
    RelayAnswer answer;
    answer.server = local_->find_server();
    char name[48];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:R%X", local_->process_id(),
                  static_cast<unsigned>(++areas_made_));
    if (answer.server &&
        (!local_->register_message() || local_->create_area(name) != IpcResult::ok ||
         local_->area().size() < IPC_AREA_SIZE)) {
      local_->close();
      answer.server.reset();
    }
    return answer;
  }

  // The block whole into the area, one exchange, and the area's bytes back whole.
  RelayAnswer exchange(const CockpitRequest& request) {
    RelayAnswer answer{RelayAnswer::Kind::exchange, {}, request.sequence, {}, {}};
    const std::span<std::uint8_t> area =
        local_ != nullptr ? local_->area() : std::span<std::uint8_t>{};
    if (area.size() < request.block.size()) {
      answer.reply.system_error = true;  // no link open: as a local link whose server is gone
      return answer;
    }
    std::memcpy(area.data(), request.block.data(), request.block.size());
    answer.reply = local_->exchange(request.block.size(), options_.exchange_bound, stop_);
    if (answer.reply.answered) {
      answer.block.assign(area.begin(),
                          area.begin() + static_cast<std::ptrdiff_t>(request.block.size()));
    }
    return answer;
  }

  const RelayOptions& options_;
  std::atomic<std::uint32_t>& areas_made_;
  std::stop_token stop_;
  std::unique_ptr<IpcTransport> local_;
};

}  // namespace

void serve_cockpit(std::unique_ptr<TcpStream> stream, const RelayOptions& options,
                   RefusalNotes& notes, std::atomic<std::uint32_t>& areas_made,
                   std::stop_token stop) {
  SealedStream connection(std::move(stream), options.key, LinkRole::relay);
  const Status proved = connection.handshake(options.handshake_bound, stop);
  if (!proved) {
    if (!stop.stop_requested())
      notes.refused("a connection that did not prove the key: " + proved.error());
    return;
  }
  Session session(options, areas_made, stop);
  while (!stop.stop_requested()) {
    const auto body = connection.receive(REQUEST_WAIT, stop);
    if (!body) {
      if (connection.refused()) notes.refused("a cockpit's connection: " + body.error());
      return;
    }
    if (!*body) continue;
    const auto request = parse_cockpit_request(**body);
    if (!request) {
      notes.refused("a cockpit's connection from " + ipv4_text(connection.peer()) + ": " +
                    request.error());
      return;
    }
    if (!connection.send(encode(session.answer(*request)), options.send_bound)) return;
  }
}

}  // namespace kavri
