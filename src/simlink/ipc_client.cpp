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
constexpr Millis SEND_PAUSE{100};
constexpr int HANDSHAKE_PASSES = 5;
constexpr Millis HANDSHAKE_PAUSE{100};

// Every record takes at least IPC_WRITE_HEADER bytes of the queue.
constexpr std::size_t MAX_RECORDS = IPC_QUEUE_LIMIT / IPC_WRITE_HEADER;

// A record as it was queued: the server must hand its header back unchanged. A read's token
// is its index + 1 (0: value discarded), so no client address ever goes through the area.
struct QueuedRecord {
  std::uint32_t at = 0;  // where its header starts in the area
  std::uint32_t type = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::uint32_t token = 0;
  void* destination = nullptr;  // reads only; null: the value is discarded
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
  std::array<QueuedRecord, MAX_RECORDS> records{};
  std::size_t record_count = 0;

  void clear_queue() {
    next = 0;
    record_count = 0;
  }

  std::uint8_t* queue(std::uint32_t type, std::uint32_t offset, std::uint32_t size,
                      void* destination) {
    const std::uint32_t at = static_cast<std::uint32_t>(next);
    const bool delivered = type == IPC_READ_TYPE && destination != nullptr && size != 0;
    const std::uint32_t token = delivered ? static_cast<std::uint32_t>(record_count + 1) : 0;
    records[record_count++] = QueuedRecord{at, type, offset, size, token, destination};
    std::uint8_t* record = view.data() + at;
    store_le32(record, type);
    store_le32(record + 4, offset);
    store_le32(record + 8, size);
    const std::size_t header = type == IPC_READ_TYPE ? IPC_READ_HEADER : IPC_WRITE_HEADER;
    if (type == IPC_READ_TYPE) store_le32(record + 12, token);
    next += header + size;
    return record + header;
  }

  // True when the server handed back every header, and the end marker, as they were queued:
  // a server that wiped or rewrote the block has not carried it out.
  bool headers_intact(std::size_t count, std::size_t end) const {
    for (std::size_t i = 0; i < count; ++i) {
      const QueuedRecord& r = records[i];
      const std::uint8_t* record = view.data() + r.at;
      if (load_le32(record) != r.type || load_le32(record + 4) != r.offset ||
          load_le32(record + 8) != r.size ||
          (r.type == IPC_READ_TYPE && load_le32(record + 12) != r.token)) {
        return false;
      }
    }
    return load_le32(view.data() + end) == IPC_END_MARKER;
  }

  void copy_values(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const QueuedRecord& r = records[i];
      if (r.token != 0) std::memcpy(r.destination, view.data() + r.at + IPC_READ_HEADER, r.size);
    }
  }
};

IpcClient::IpcClient(Env& env, IpcTransport& transport)
    : env_(env), transport_(transport), state_(std::make_unique<State>()) {}

IpcClient::~IpcClient() { ipc_close(); }

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
  std::memset(s.queue(IPC_READ_TYPE, offset, size, destination), 0, size);
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
  std::uint8_t* data = s.queue(IPC_WRITE_TYPE, offset, size, nullptr);
  if (source != nullptr) {
    std::memcpy(data, source, size);
  } else {
    std::memset(data, 0, size);
  }
  result = IpcResult::ok;
  return true;
}

bool IpcClient::ipc_process(IpcResult& result, std::stop_token stop) {
  std::lock_guard lock(mutex_);
  State& s = *state_;
  if (s.view.empty()) return fail(IpcResult::not_open, result);
  if (s.next == 0) return fail(IpcResult::nothing_queued, result);
  const std::size_t end = s.next;
  store_le32(s.view.data() + end, IPC_END_MARKER);
  const std::size_t count = s.record_count;
  s.clear_queue();  // a failed exchange keeps none of its requests
  const IpcResult lost = lost_.load(std::memory_order_relaxed);
  if (lost != IpcResult::ok) return fail(lost, result);

  IpcReply reply;
  for (int attempt = 0; attempt < SEND_ATTEMPTS && !stop.stop_requested(); ++attempt) {
    reply = transport_.exchange(end + 4, IPC_ATTEMPT_BOUND, stop);
    if (reply.answered) break;
    env_.sleep_for(SEND_PAUSE, stop);
  }
  // A caller asked to stop gives up the remaining attempts: that says nothing of the server.
  if (!reply.answered && stop.stop_requested()) return fail(IpcResult::send_failed, result);
  if (!reply.answered) {
    const IpcResult code = reply.system_error ? IpcResult::send_error : IpcResult::send_failed;
    lost_.store(code, std::memory_order_release);
    return fail(code, result);
  }
  // A block the server broke (a header rewritten, the block wiped) fails the exchange like a
  // bad reply, with every destination left as it was.
  if (reply.value != 1 || !s.headers_intact(count, end)) return fail(IpcResult::bad_reply, result);
  s.copy_values(count);
  result = IpcResult::ok;
  return true;
}

void IpcClient::ipc_close() {
  std::lock_guard lock(mutex_);
  transport_.close();
  state_->server.reset();
  state_->view = {};
  state_->clear_queue();  // no destination outlives the link
  lost_.store(IpcResult::ok, std::memory_order_release);
}

}  // namespace kavri
