// A simulator link with no server anywhere, for tests whose link must stay down whatever other
// tests serve meanwhile.
#pragma once

#include <memory>

#include "simlink/ipc_transport.h"

namespace kavri::testing {

inline std::unique_ptr<IpcTransport> make_no_server_transport() {
  class NoServer final : public IpcTransport {
   public:
    std::uint32_t process_id() override { return 1; }
    std::optional<IpcServerClass> find_server() override { return std::nullopt; }
    bool register_message() override { return true; }
    IpcResult create_area(const std::string&) override { return IpcResult::area_failed; }
    std::span<std::uint8_t> area() override { return {}; }
    IpcReply exchange(std::size_t, Millis, std::stop_token) override {
      return IpcReply{false, 0, true};
    }
    void close() override {}
  };
  return std::make_unique<NoServer>();
}

}  // namespace kavri::testing
