// A map for kavri-fgfs, written by hand: it parses or is refused with its line, and a parsed
// one puts every line inside the offsets, and converts any property value either way without
// a value its offset cannot hold.
#include <string>

#include "bridges/fgfs_map.h"
#include "fuzz/bridge_map_checks.h"

namespace kavri::fuzz {

void fuzz_fgfs_map(Bytes input) {
  const auto map = parse_fgfs_map(as_text(input), "fuzz");
  if (!map) {
    expect(!map.error().empty(), "a refused map is told why");
    return;
  }
  expect_sound_map_lines(*map);
}

}  // namespace kavri::fuzz
