// A map for kavri-xplane, written by hand: it parses or is refused with its line; a parsed one
// keeps the promises of every bridge's map, and each dataref travels whole, its field's final
// zero kept, in the RREF request of a read line and the DREF datagram of a write line.
#include <string>
#include <string_view>

#include "bridges/xplane_datagrams.h"
#include "bridges/xplane_map.h"
#include "fuzz/bridge_map_checks.h"

namespace kavri::fuzz {
namespace {

// Whether `datagram` holds `name` whole at `at`, followed by a zero.
bool holds_name(std::string_view datagram, std::size_t at, std::string_view name) {
  return datagram.size() > at + name.size() && datagram.substr(at, name.size()) == name &&
         datagram[at + name.size()] == '\0';
}

}  // namespace

void fuzz_xplane_map(Bytes input) {
  const auto map = parse_bridge_map(as_text(input), "fuzz", XPLANE_NAMES);
  if (!map) {
    expect(map.error().starts_with("fuzz:"), "a refused map is told where");
    return;
  }
  expect_sound_map_lines(*map);
  for (const MapLine& line : map->lines) {
    if (line.reads()) {
      const std::string request = rref_request(20, line.line_number, line.property);
      expect(request.size() == RREF_REQUEST_SIZE && holds_name(request, 13, line.property),
             "a read line's dataref travels whole in its RREF request");
    }
    if (line.writes()) {
      const std::string datagram = dref_datagram(1, line.property);
      expect(datagram.size() == DREF_SIZE && holds_name(datagram, 9, line.property),
             "a write line's dataref travels whole in its DREF datagram");
    }
  }
}

}  // namespace kavri::fuzz
