// The bytes a hostile or broken client sends on the link's socket, as the server cuts them into
// requests (the first byte sets how the receives cut the rest): every request the server takes
// is the stream's next bytes exactly as a client writes that request, nothing is skipped or
// taken twice, and a stream that ends inside a request is held as partial, not served.
#include <algorithm>

#include "fuzz/fuzz_target.h"
#include "fuzz/stream_receives.h"
#include "simlink/ipc_frames.h"

namespace kavri::fuzz {

void fuzz_link_requests(Bytes input) {
  if (input.empty()) return;
  const Bytes stream = input.subspan(1);
  RequestFrameReader reader;
  RequestFrameWriter writer;
  std::size_t fed = 0;
  std::size_t served = 0;  // bytes of the stream taken as whole requests
  bool foreign = false;
  receive_in_pieces(reader, stream, input[0], [&](std::size_t count) {
    reader.received(count);
    fed += count;
    for (;;) {
      RequestFrame frame;
      const RequestFrameReader::Next next = reader.next(frame);
      if (next == RequestFrameReader::Next::partial) return true;
      if (next == RequestFrameReader::Next::foreign) {
        foreign = true;  // the server ends the connection
        return false;
      }
      expect(writer.set_name(frame.name), "a request names its area in 1 to 255 bytes");
      const auto rewritten = writer.stamp(frame.sequence, frame.used);
      expect(rewritten.size() <= fed - served &&
                 std::equal(rewritten.begin(), rewritten.end(), stream.begin() + served),
             "a request is the stream's next bytes, as a client writes them");
      served += rewritten.size();
    }
  });
  if (!foreign) {
    expect(reader.partial() == (served < stream.size()), "what is not served is held as partial");
  }
}

}  // namespace kavri::fuzz
