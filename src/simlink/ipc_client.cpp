#include "simlink/ipc_client.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"

namespace kavri {
namespace {

constexpr int SEND_ATTEMPTS = 9;
constexpr Millis SEND_TIMEOUT{2000};
constexpr Millis SEND_PAUSE{100};
constexpr int HANDSHAKE_PASSES = 5;
constexpr Millis HANDSHAKE_PAUSE{100};

// Every read record takes at least IPC_READ_HEADER bytes of the queue, so no batch holds more
// pending destinations than this.
constexpr std::size_t MAX_PENDING = IPC_QUEUE_LIMIT / IPC_READ_HEADER;
constexpr std::size_t NO_SOURCE = IPC_AREA_SIZE;

// A read waiting for its value. The record carries index + 1 as its 32-bit destination token
// (0: value discarded), so no client address ever goes through the shared area.
struct PendingRead {
  void* destination = nullptr;
  std::uint32_t size = 0;
  std::size_t source = NO_SOURCE;  // where the walk found its value in the area
};

bool fail(IpcResult code, IpcResult& result) {
  result = code;
  return false;
}

}  // namespace

struct IpcClient::State {
  std::uint32_t server_version = 0;
  std::uint32_t simulator_version = 0;
  std::optional<IpcServerClass> server;
  std::span<std::uint8_t> view;  // empty while the link is closed
  std::size_t next = 0;          // where the next record goes, from the start of the view
  std::uint32_t open_counter = 0;
  std::array<PendingRead, MAX_PENDING> pending{};
  std::size_t pending_count = 0;
  // Set when every attempt of an exchange failed: the server is gone, and until the link is
  // closed each further process fails at once with the same result instead of spending
  // another round of attempts finding that out again.
  std::optional<IpcResult> lost;

  void clear_queue() {
    next = 0;
    pending_count = 0;
  }

  // Finds every value the server wrote and checks that each record lies inside the area and
  // that each destination gets exactly the size it asked for. Each field is read once, so a
  // server that keeps writing cannot change a checked size. False: nothing may be copied.
  bool locate_values() {
    for (std::size_t i = 0; i < pending_count; ++i) pending[i].source = NO_SOURCE;
    std::size_t at = 0;
    for (;;) {
      if (IPC_AREA_SIZE - at < 4) return false;
      std::uint8_t* record = view.data() + at;
      const std::uint32_t type = load_le32(record);
      if (type == IPC_END_MARKER) return true;
      if (type != IPC_READ_TYPE && type != IPC_WRITE_TYPE) {
        store_le32(record, IPC_END_MARKER);  // an unknown type ends the block
        return true;
      }
      const std::size_t header = type == IPC_READ_TYPE ? IPC_READ_HEADER : IPC_WRITE_HEADER;
      if (IPC_AREA_SIZE - at < header) return false;
      const std::uint32_t size = load_le32(record + 8);
      if (size > IPC_AREA_SIZE - at - header) return false;
      if (type == IPC_READ_TYPE) {
        const std::uint32_t token = load_le32(record + 12);
        if (token != 0 && size != 0) {
          if (token > pending_count || pending[token - 1].size != size) return false;
          pending[token - 1].source = at + header;
        }
      }
      at += header + size;
    }
  }

  void copy_values() {
    for (std::size_t i = 0; i < pending_count; ++i) {
      const PendingRead& read = pending[i];
      if (read.source != NO_SOURCE)
        std::memcpy(read.destination, view.data() + read.source, read.size);
    }
  }
};

IpcClient::IpcClient(Env& env, IpcTransport& transport)
    : env_(env), transport_(transport), state_(std::make_unique<State>()) {}

IpcClient::~IpcClient() { ipc_close(); }

bool IpcClient::link_lost() const {
  std::lock_guard lock(mutex_);
  return state_->lost.has_value();
}

bool IpcClient::is_open() const {
  std::lock_guard lock(mutex_);
  return !state_->view.empty();
}

bool IpcClient::ipc_open(std::uint32_t required_simulator, IpcResult& result,
                         std::stop_token stop) {
  std::lock_guard lock(mutex_);
  State& s = *state_;
  if (!s.view.empty()) return fail(IpcResult::already_open, result);
  s.server_version = 0;
  s.simulator_version = 0;
  s.server = transport_.find_server();
  if (!s.server) return fail(IpcResult::no_server, result);
  if (!transport_.register_message()) return fail(IpcResult::message_failed, result);

  ++s.open_counter;
  char name[48];
  std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", transport_.process_id(), s.open_counter);
  const IpcResult created = transport_.create_area(name);
  if (created != IpcResult::ok) {
    ipc_close();
    return fail(created, result);
  }
  s.view = transport_.area();
  if (s.view.size() < IPC_AREA_SIZE) {
    ipc_close();
    return fail(IpcResult::view_failed, result);
  }
  s.view = s.view.first(IPC_AREA_SIZE);
  s.clear_queue();

  // The server may need a moment before its versions are filled in.
  const std::uint8_t client_version[2] = {CLIENT_VERSION & 0xFF, CLIENT_VERSION >> 8};
  for (int pass = 0; pass < HANDSHAKE_PASSES; ++pass) {
    if (pass > 0 && s.server_version != 0 && s.simulator_version != 0) break;
    if (!ipc_read(OFFSET_SERVER_VERSION, 4, &s.server_version, result) ||
        !ipc_read(OFFSET_SIMULATOR_VERSION, 4, &s.simulator_version, result) ||
        (pass == 0 && !ipc_write(OFFSET_CLIENT_VERSION, 2, client_version, result)) ||
        !ipc_process(result, stop)) {
      ipc_close();
      return false;
    }
    env_.sleep_for(HANDSHAKE_PAUSE, stop);
  }

  if (s.server_version < MIN_SERVER_VERSION ||
      (s.simulator_version >> 16) != SIMULATOR_CHECK_PATTERN) {
    const bool fs98 = *s.server == IpcServerClass::fs98main;
    ipc_close();
    return fail(fs98 ? IpcResult::version_fs98main : IpcResult::version_uipcmain, result);
  }
  s.simulator_version &= 0xFFFF;
  if (required_simulator != 0 && required_simulator != s.simulator_version) {
    ipc_close();
    return fail(IpcResult::wrong_simulator, result);
  }
  result = IpcResult::ok;
  return true;
}

bool IpcClient::ipc_read(std::uint32_t offset, std::uint32_t size, void* destination,
                         IpcResult& result) {
  std::lock_guard lock(mutex_);
  State& s = *state_;
  if (s.view.empty()) return fail(IpcResult::not_open, result);
  // 64-bit sums: a huge size must not wrap past the check.
  if (s.next + std::uint64_t{size} + IPC_RECORD_MARGIN > IPC_QUEUE_LIMIT) {
    return fail(IpcResult::too_large, result);
  }
  std::uint32_t token = 0;
  if (destination != nullptr && size != 0) {
    s.pending[s.pending_count] = PendingRead{destination, size, NO_SOURCE};
    token = static_cast<std::uint32_t>(++s.pending_count);
  }
  std::uint8_t* record = s.view.data() + s.next;
  store_le32(record, IPC_READ_TYPE);
  store_le32(record + 4, offset);
  store_le32(record + 8, size);
  store_le32(record + 12, token);
  std::memset(record + IPC_READ_HEADER, 0, size);
  s.next += IPC_READ_HEADER + size;
  result = IpcResult::ok;
  return true;
}

bool IpcClient::ipc_write(std::uint32_t offset, std::uint32_t size, const void* source,
                          IpcResult& result) {
  std::lock_guard lock(mutex_);
  State& s = *state_;
  if (s.view.empty()) return fail(IpcResult::not_open, result);
  if (s.next + std::uint64_t{size} + IPC_RECORD_MARGIN > IPC_QUEUE_LIMIT) {
    return fail(IpcResult::too_large, result);
  }
  std::uint8_t* record = s.view.data() + s.next;
  store_le32(record, IPC_WRITE_TYPE);
  store_le32(record + 4, offset);
  store_le32(record + 8, size);
  if (source != nullptr) {
    std::memcpy(record + IPC_WRITE_HEADER, source, size);
  } else {
    std::memset(record + IPC_WRITE_HEADER, 0, size);
  }
  s.next += IPC_WRITE_HEADER + size;
  result = IpcResult::ok;
  return true;
}

bool IpcClient::ipc_process(IpcResult& result, std::stop_token stop) {
  std::lock_guard lock(mutex_);
  State& s = *state_;
  if (s.view.empty()) return fail(IpcResult::not_open, result);
  if (s.next == 0) return fail(IpcResult::nothing_queued, result);
  store_le32(s.view.data() + s.next, IPC_END_MARKER);
  const std::size_t pending_count = s.pending_count;
  s.clear_queue();  // a failed exchange keeps none of its requests
  if (s.lost) return fail(*s.lost, result);

  IpcReply reply;
  for (int attempt = 0; attempt < SEND_ATTEMPTS && !stop.stop_requested(); ++attempt) {
    reply = transport_.exchange(SEND_TIMEOUT);
    if (reply.answered) break;
    env_.sleep_for(SEND_PAUSE, stop);
  }
  // A caller asked to stop gives up the remaining attempts: that says nothing of the server.
  if (!reply.answered && stop.stop_requested()) return fail(IpcResult::send_failed, result);
  if (!reply.answered) {
    s.lost = reply.system_error ? IpcResult::send_error : IpcResult::send_failed;
    return fail(*s.lost, result);
  }
  if (reply.value != 1) return fail(IpcResult::bad_reply, result);

  // A block the server broke (a record past the area, a destination's size changed) fails
  // the exchange like a bad reply, with every destination left as it was.
  s.pending_count = pending_count;
  const bool sound = s.locate_values();
  if (sound) s.copy_values();
  s.pending_count = 0;
  if (!sound) return fail(IpcResult::bad_reply, result);
  result = IpcResult::ok;
  return true;
}

void IpcClient::ipc_close() {
  std::lock_guard lock(mutex_);
  transport_.close();
  state_->server.reset();
  state_->view = {};
  state_->pending_count = 0;  // no destination outlives the link
  state_->lost.reset();
}

}  // namespace kavri
