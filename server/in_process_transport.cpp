#include "server/in_process_transport.h"

#include <vector>

#include "simlink/ipc_records.h"

namespace kavri {
namespace {

// Names areas like a process of its own would; any fixed number serves.
constexpr std::uint32_t IN_PROCESS_ID = 1;

class InProcessTransport final : public IpcTransport {
 public:
  InProcessTransport(OffsetSpace& space, IpcServerClass server_class, WriteObserver on_write)
      : space_(space), server_class_(server_class), on_write_(std::move(on_write)) {}

  std::uint32_t process_id() override { return IN_PROCESS_ID; }
  std::optional<IpcServerClass> find_server() override { return server_class_; }
  bool register_message() override { return true; }

  IpcResult create_area(const std::string&) override {
    area_.assign(IPC_AREA_SIZE, 0);
    return IpcResult::ok;
  }

  std::span<std::uint8_t> area() override { return area_; }

  IpcReply exchange(std::size_t, Millis, std::stop_token) override {
    if (area_.empty()) return IpcReply{false, 0, true};
    return IpcReply{true, carry_out_requests(space_, area_, on_write_), false};
  }

  void close() override {
    area_.clear();
    area_.shrink_to_fit();
  }

 private:
  OffsetSpace& space_;
  IpcServerClass server_class_;
  WriteObserver on_write_;
  std::vector<std::uint8_t> area_;
};

}  // namespace

std::unique_ptr<IpcTransport> make_in_process_transport(OffsetSpace& space,
                                                        IpcServerClass server_class,
                                                        WriteObserver on_write) {
  return std::make_unique<InProcessTransport>(space, server_class, std::move(on_write));
}

}  // namespace kavri
