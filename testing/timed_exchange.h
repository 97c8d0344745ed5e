// The exchange that the exchange-cost programs time: the transfer cycle's smallest batch (the
// light and battery words and two gauges) and the process that sends it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "simlink/ipc_client.h"

namespace kavri::testing {

class TimedExchange {
 public:
  // One round trip in microseconds; nullopt when the exchange failed (`result` says why).
  std::optional<double> run(IpcClient& client, IpcResult& result) {
    const auto begin = std::chrono::steady_clock::now();
    client.ipc_read(0x0D0C, 2, &lights_, result);
    client.ipc_read(0x281C, 2, &battery_, result);
    client.ipc_read(0x0BC0, 2, &trim_, result);
    client.ipc_read(0x0580, 4, &heading_, result);
    const bool done = client.ipc_process(result);
    const auto end = std::chrono::steady_clock::now();
    if (!done) return std::nullopt;
    return std::chrono::duration<double, std::micro>(end - begin).count();
  }
  // What was read, for the caller to keep the reads from being optimised away.
  std::uint32_t checksum() const { return lights_ + battery_ + trim_ + heading_; }

 private:
  std::uint16_t lights_ = 0, battery_ = 0, trim_ = 0;
  std::uint32_t heading_ = 0;
};

}  // namespace kavri::testing
