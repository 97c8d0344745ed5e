// A request block that a hostile client lays out (any records, any offsets and sizes, bytes
// past its end marker), carried out by the server in its copy of the area: the server changes
// only the data of the reads it walked, never a record's type, offset, size or destination
// (which the client checks) nor a byte past the block; and the next honest client still
// passes its handshake, and reads back what it writes.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "server/in_process_transport.h"
#include "server/request_server.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "testing/fake_env.h"

namespace kavri::fuzz {
namespace {

// Which bytes of `block` a server may change: the data of each read, record after record as
// a client lays them out, up to the end marker or the first record that is not whole.
std::vector<bool> read_data_of(Bytes block) {
  std::vector<bool> data(block.size(), false);
  std::size_t at = 0;
  while (block.size() - at >= 4) {
    const std::uint32_t type = load_le32(&block[at]);
    if (type != IPC_READ_TYPE && type != IPC_WRITE_TYPE) break;
    const std::size_t header = type == IPC_READ_TYPE ? IPC_READ_HEADER : IPC_WRITE_HEADER;
    if (block.size() - at < header) break;
    const std::size_t size = load_le32(&block[at + 8]);
    if (size > block.size() - at - header) break;
    if (type == IPC_READ_TYPE) std::fill_n(data.begin() + at + header, size, true);
    at += header + size;
  }
  return data;
}

// An honest client's open (the handshake reads the version words), then a write and a read.
void expect_honest_client_served(OffsetSpace& space) {
  FakeEnv env;
  auto transport = make_in_process_transport(space);
  IpcClient client(env, *transport);
  IpcResult result{};
  expect(client.ipc_open(0, result), "the next client's handshake passes");
  const std::array<std::uint8_t, 2> written{0x34, 0x12};
  std::array<std::uint8_t, 2> read{};
  client.ipc_write(0x0BC0, 2, written.data(), result);
  client.ipc_read(0x0BC0, 2, read.data(), result);
  expect(client.ipc_process(result) && read == written, "the next client reads what it wrote");
  client.ipc_close();
}

}  // namespace

void fuzz_client_requests(Bytes input) {
  if (input.size() > IPC_AREA_SIZE) return;
  static OffsetSpace space;  // one server for every client, as a running simulator has
  std::vector<std::uint8_t> area(IPC_AREA_SIZE, 0xA5);
  std::copy(input.begin(), input.end(), area.begin());
  const std::vector<std::uint8_t> sent = area;
  const std::uint32_t reply = carry_out_requests(space, std::span(area).first(input.size()), {});
  expect(reply == 0 || reply == 1, "the reply is 0 or 1");
  const std::vector<bool> read_data = read_data_of(input);
  for (std::size_t i = 0; i < area.size(); ++i) {
    expect(area[i] == sent[i] || (i < read_data.size() && read_data[i]),
           "the server changes only the data of reads");
  }
  expect_honest_client_served(space);
}

}  // namespace kavri::fuzz
