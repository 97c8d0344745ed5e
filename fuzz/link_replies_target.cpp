// The bytes a hostile or broken server sends back on the link's socket, as the client reads
// them while it awaits the replies of its requests, numbered from the input's first four bytes
// (the fifth sets how the receives cut the rest): the client takes a reply only when the eight
// bytes just read, on a reply's boundary, carry its request's number, and never passes one over.
#include "fuzz/fuzz_target.h"
#include "fuzz/stream_receives.h"
#include "simlink/ipc_frames.h"
#include "simlink/ipc_records.h"

namespace kavri::fuzz {

void fuzz_link_replies(Bytes input) {
  if (input.size() < 5) return;
  const Bytes stream = input.subspan(5);
  std::uint32_t sequence = load_le32(input.data());
  ReplyReader reader;
  reader.await(sequence);
  std::size_t fed = 0;
  std::size_t awaited_from = 0;  // where the replies to the current request begin
  receive_in_pieces(reader, stream, input[4], [&](std::size_t count) {
    fed += count;
    const auto value = reader.received(count);
    const bool whole = (fed - awaited_from) % IPC_REPLY_SIZE == 0;
    const bool its_number = whole && load_le32(&stream[fed - IPC_REPLY_SIZE]) == sequence;
    expect(value.has_value() == its_number, "a reply is taken when it carries its number");
    if (value) {
      expect(*value == load_le32(&stream[fed - 4]), "the reply taken is the one read");
      reader.await(++sequence);
      awaited_from = fed;
    }
    return true;
  });
}

}  // namespace kavri::fuzz
