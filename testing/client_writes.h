// The client writes that reach an in-process simulator, recorded by its server as they are
// carried out; thread-safe, so that a test may read them while the driver's threads write.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "server/request_server.h"

namespace kavri::testing {

class ClientWrites {
 public:
  // For make_in_process_transport; this record must outlive the transport.
  WriteObserver observer() {
    return [this](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
      std::lock_guard lock(mutex_);
      writes_.emplace_back(offset, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    };
  }

  // Every value written at `offset`, in order, read little-endian from its bytes.
  std::vector<std::uint64_t> values_at(std::uint32_t offset) const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> values;
    for (const auto& [at, bytes] : writes_) {
      if (at != offset) continue;
      std::uint64_t value = 0;
      for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
      values.push_back(value);
    }
    return values;
  }

  void clear() {
    std::lock_guard lock(mutex_);
    writes_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> writes_;
};

}  // namespace kavri::testing
