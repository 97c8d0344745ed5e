// A hostile or broken simulator server: each exchange is carried out by the virtual server,
// then the input rewrites bytes of the block and picks the reply. The client's check of the
// block copied back refuses what the server broke, and a failed exchange writes no
// destination.
#include <algorithm>
#include <array>
#include <memory>

#include "fuzz/fuzz_target.h"
#include "server/in_process_transport.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"

namespace kavri::fuzz {
namespace {

class HostileTransport final : public IpcTransport {
 public:
  HostileTransport(OffsetSpace& space, Bytes script)
      : server_(make_in_process_transport(space)), script_(script) {}

  std::uint32_t process_id() override { return 1; }
  std::optional<IpcServerClass> find_server() override { return server_->find_server(); }
  bool register_message() override { return server_->register_message(); }
  IpcResult create_area(const std::string& name) override { return server_->create_area(name); }
  std::span<std::uint8_t> area() override { return server_->area(); }
  void close() override { server_->close(); }

  // The script of one exchange: the reply (0xFF: none), a count of changes, and each change
  // as a place in the used block (2 bytes) and the byte put there.
  IpcReply exchange(std::size_t used, Millis timeout, std::stop_token stop) override {
    IpcReply reply = server_->exchange(used, timeout, stop);
    const std::uint8_t answer = next();
    if (answer == 0xFF) return {};
    if (answer >= 0xF0) reply.value = answer & 0x0F;
    const std::span<std::uint8_t> block = area().first(used);
    for (int changes = next() % 8; changes > 0; --changes) {
      const std::size_t at = (next() | std::size_t{next()} << 8) % block.size();
      block[at] = next();
    }
    return reply;
  }

 private:
  std::uint8_t next() { return at_ < script_.size() ? script_[at_++] : 0; }

  std::unique_ptr<IpcTransport> server_;
  Bytes script_;
  std::size_t at_ = 0;
};

}  // namespace

void fuzz_ipc_reply(Bytes input) {
  static OffsetSpace space;
  FakeEnv env;
  HostileTransport transport(space, input);
  IpcClient client(env, transport);
  IpcResult result{};
  if (!client.ipc_open(0, result)) return;
  constexpr std::uint8_t UNWRITTEN = 0xA5;
  const std::uint8_t value[2] = {1, 2};
  for (int round = 0; round < 4; ++round) {
    std::array<std::uint8_t, 64> destinations;
    destinations.fill(UNWRITTEN);
    client.ipc_read(0x0BC0, 2, destinations.data(), result);
    client.ipc_write(0x0BC0, 2, value, result);
    client.ipc_read(OFFSET_SERVER_VERSION, 4, destinations.data() + 2, result);
    client.ipc_read(0x1000, 58, destinations.data() + 6, result);
    if (!client.ipc_process(result)) {
      expect(std::all_of(destinations.begin(), destinations.end(),
                         [](std::uint8_t b) { return b == UNWRITTEN; }),
             "a failed exchange writes no destination");
    }
  }
}

}  // namespace kavri::fuzz
