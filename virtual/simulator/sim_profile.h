// A scripted flight: timed values of offsets, held or ramped, optionally looped. The text
// format is documented in docs/sim-profile.md; the demo flight is written in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "server/offset_space.h"

namespace kavri {

// A value held at an offset: "OFFSET:SIZE=VALUE", numbers by the number text rule, size 1, 2,
// 4 or 8.
struct SimPin {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::int64_t value = 0;
};
std::optional<SimPin> parse_pin(std::string_view text);

class SimProfile {
 public:
  struct Key {
    std::int64_t time_ms = 0;
    double value = 0;   // integers of up to 2^53 are exact
    bool ramp = false;  // reached by a straight line from the previous key
  };
  struct Track {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    bool real = false;      // an 8-byte IEEE double rather than an integer
    std::vector<Key> keys;  // in time order
  };

  // The profile, or "line N: reason" when the text is not one.
  static Result<SimProfile> parse(std::string_view text);
  // About a minute, looped: moves every gauge of the demo bench and toggles the lights.
  static SimProfile demo_flight();

  // Writes every track's value at `elapsed_ms` since the flight began. A track has no value
  // before its first key and holds its last key's value after it, unless the profile loops.
  void apply(OffsetSpace& space, std::int64_t elapsed_ms) const;
  // The value of `track` at `elapsed_ms`, or nullopt before its first key.
  std::optional<double> value_at(const Track& track, std::int64_t elapsed_ms) const;

  const std::vector<Track>& tracks() const { return tracks_; }
  std::int64_t loop_ms() const { return loop_ms_; }  // 0: no loop

 private:
  std::vector<Track> tracks_;
  std::int64_t loop_ms_ = 0;
};

}  // namespace kavri
