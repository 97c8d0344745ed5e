// A request block from a hostile or broken client, as the server walks it: no byte is touched
// outside the area (the sanitizer sees the area's exact bounds) or the offset space.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "server/request_server.h"

namespace kavri::fuzz {

void fuzz_request_block(Bytes input) {
  static OffsetSpace space;
  std::vector<std::uint8_t> area(input.begin(), input.end());
  const std::uint8_t* const begin = area.data();
  const std::uint8_t* const end = begin + area.size();
  const std::uint32_t reply = carry_out_requests(
      space, area, [&](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
        expect(std::uint64_t{offset} + bytes.size() <= OffsetSpace::SIZE,
               "a write lies inside the offset space");
        expect(bytes.data() >= begin && bytes.data() + bytes.size() <= end,
               "a write's bytes lie inside the area");
      });
  expect(reply == 0 || reply == 1, "the reply is 0 or 1");
}

}  // namespace kavri::fuzz
