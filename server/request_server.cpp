#include "server/request_server.h"

#include <algorithm>

#include "simlink/ipc_records.h"

namespace kavri {

std::uint32_t carry_out_requests(OffsetSpace& space, std::span<std::uint8_t> area,
                                 const WriteObserver& on_write) {
  auto batch = space.lock_batch();
  std::size_t at = 0;
  for (;;) {
    if (area.size() < 4 || area.size() - 4 < at) return 0;
    std::uint8_t* record = area.data() + at;
    const std::uint32_t type = load_le32(record);
    if (type == IPC_END_MARKER) return 1;
    if (type != IPC_READ_TYPE && type != IPC_WRITE_TYPE) return 0;
    const std::size_t header = type == IPC_READ_TYPE ? IPC_READ_HEADER : IPC_WRITE_HEADER;
    if (area.size() - at < header) return 0;
    const std::uint32_t offset = load_le32(record + 4);
    const std::uint32_t size = load_le32(record + 8);
    if (size > area.size() - at - header) return 0;
    std::span<std::uint8_t> data(record + header, size);
    // A record outside the offset space is skipped, a read's data left zero: one bad offset
    // must not cost the block's other records.
    if (type == IPC_READ_TYPE) {
      if (!batch.read(offset, data)) std::fill(data.begin(), data.end(), std::uint8_t{0});
    } else if (batch.client_write(offset, data) && on_write) {
      on_write(offset, data);
    }
    at += header + size;
  }
}

}  // namespace kavri
