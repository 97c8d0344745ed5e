// A flight profile for kavri-sim, written by hand: it parses or is refused with its line, and
// a parsed one plays at any instant, its tracks inside the offsets and in time order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "fuzz/fuzz_target.h"
#include "virtual/simulator/sim_profile.h"

namespace kavri::fuzz {

void fuzz_sim_profile(Bytes input) {
  const auto profile = SimProfile::parse(as_text(input));
  if (!profile) {
    expect(!profile.error().empty(), "a refused profile is told why");
    return;
  }
  static OffsetSpace space;
  constexpr auto LAST = std::numeric_limits<std::int64_t>::max();
  for (const auto& track : profile->tracks()) {
    expect(track.size >= 1 && track.size <= 8 &&
               std::uint64_t{track.offset} + track.size <= OffsetSpace::SIZE,
           "a track lies inside the offsets");
    expect(std::is_sorted(track.keys.begin(), track.keys.end(),
                          [](const auto& a, const auto& b) { return a.time_ms < b.time_ms; }),
           "a track's keys are in time order");
    // At each key, past it, and halfway from the previous one, where a ramp is furthest from
    // both its ends.
    std::int64_t previous = 0;
    for (const auto& key : track.keys) {
      for (std::int64_t t : {previous + (key.time_ms - previous) / 2, key.time_ms, LAST}) {
        const auto value = profile->value_at(track, t);
        expect(!value || std::isfinite(*value), "a track's value is a number");
      }
      previous = key.time_ms;
    }
  }
  for (std::int64_t t : {std::int64_t{0}, std::int64_t{1000}, LAST}) profile->apply(space, t);
}

}  // namespace kavri::fuzz
