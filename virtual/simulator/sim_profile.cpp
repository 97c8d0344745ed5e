#include "virtual/simulator/sim_profile.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "base/number_text.h"

namespace kavri {
namespace {

// The demo bench's gauges over one minute: trims and flaps sweep their ranges, the heading
// turns a full circle, fuel drains, the outside air goes from -50 to +50 degrees, the lights
// switch between 0 and 4 every five seconds and the battery stays on.
constexpr std::string_view DEMO_FLIGHT = R"(# Kavri demo flight
loop 60
0   $281C:2  1
0   $0BC0:2  0
30  $0BC0:2  16383     ramp
60  $0BC0:2  0         ramp
0   $0BC2:2  0
15  $0BC2:2  16383     ramp
45  $0BC2:2  -16383    ramp
60  $0BC2:2  0         ramp
0   $0580:4  0
59  $0580:4  359       ramp
0   $0B7C:4  8388600
50  $0B7C:4  0         ramp
60  $0B7C:4  8388600   ramp
0   $0E8C:2  -12800
30  $0E8C:2  12800     ramp
60  $0E8C:2  -12800    ramp
0   $0BDC:4  0
10  $0BDC:4  4096
20  $0BDC:4  8192
30  $0BDC:4  16383
45  $0BDC:4  8192
52  $0BDC:4  0
0   $0D0C:2  0
5   $0D0C:2  4
10  $0D0C:2  0
15  $0D0C:2  4
20  $0D0C:2  0
25  $0D0C:2  4
30  $0D0C:2  0
35  $0D0C:2  4
40  $0D0C:2  0
45  $0D0C:2  4
50  $0D0C:2  0
55  $0D0C:2  4
)";

// Strict form of the number text rule for files and options: blanks, an optional sign, an
// optional "$" or "%", then only digits of that base. The value is then the rule's.
bool is_number_text(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return false;
  if (text[i] == '-' || text[i] == '+') ++i;
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == '%')) base = text[i++] == '$' ? 16 : 2;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const bool digit = base == 16  ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                       : base == 2 ? (c == '0' || c == '1')
                                   : (c >= '0' && c <= '9');
    if (!digit) return false;
  }
  return true;
}

// An offset by the strict number text rule, nullopt unless it lies in the offset space. The
// digits are read with a ceiling, so that no number, however long, wraps back into the space.
std::optional<std::uint32_t> parse_offset(std::string_view text) {
  if (!is_number_text(text)) return std::nullopt;
  text.remove_prefix(text.find_first_not_of(" \t"));
  if (text.front() == '-') return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  int base = 10;
  if (text.front() == '$' || text.front() == '%') {
    base = text.front() == '$' ? 16 : 2;
    text.remove_prefix(1);
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || value >= OffsetSpace::SIZE) return std::nullopt;
  return value;
}

// "OFFSET:SIZE" with SIZE 1, 2, 4, 8 or (when `real_allowed`) 8f; the bytes must lie inside
// the offset space.
bool parse_place(std::string_view text, bool real_allowed, std::uint32_t& offset,
                 std::uint32_t& size, bool& real) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  const std::optional<std::uint32_t> at = parse_offset(text.substr(0, colon));
  std::string_view size_text = text.substr(colon + 1);
  real = real_allowed && size_text == "8f";
  if (real) size_text = "8";
  if (!at || (size_text != "1" && size_text != "2" && size_text != "4" && size_text != "8")) {
    return false;
  }
  size = static_cast<std::uint32_t>(size_text[0] - '0');
  if (size > OffsetSpace::SIZE - *at) return false;
  offset = *at;
  return true;
}

// Seconds with up to three decimals, as milliseconds.
bool parse_seconds(std::string_view text, std::int64_t& ms) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !(seconds >= 0) ||
      seconds > 1e9) {
    return false;
  }
  ms = std::llround(seconds * 1000);
  return true;
}

// A bad word as an error quotes it: its first characters only, control characters as "?".
std::string quoted(std::string_view word) {
  constexpr std::size_t MAX_QUOTE = 24;
  std::string quote = "\"";
  for (char c : word.substr(0, MAX_QUOTE)) {
    quote += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  return quote + (word.size() > MAX_QUOTE ? "...\"" : "\"");
}

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while ((i = line.find_first_not_of(" \t\r", i)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", i), line.size());
    words.push_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

std::uint64_t integer_bits(double value) {
  constexpr double LIMIT = 9.2e18;  // inside the signed 64-bit range
  return static_cast<std::uint64_t>(std::llround(std::clamp(value, -LIMIT, LIMIT)));
}

}  // namespace

std::optional<SimPin> parse_pin(std::string_view text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  SimPin pin;
  bool real = false;
  if (!parse_place(text.substr(0, equals), false, pin.offset, pin.size, real) ||
      !is_number_text(text.substr(equals + 1))) {
    return std::nullopt;
  }
  pin.value = parse_number_text(text.substr(equals + 1));
  return pin;
}

Result<SimProfile> SimProfile::parse(std::string_view text) {
  SimProfile profile;
  std::unordered_map<std::uint64_t, std::size_t> track_of_place;
  int line_number = 0;
  const auto refused = [&](const std::string& reason) {
    return fail("line " + std::to_string(line_number) + ": " + reason);
  };
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    line = line.substr(0, std::min(line.find('#'), line.size()));
    const std::vector<std::string_view> words = words_of(line);
    if (words.empty()) continue;
    if (words[0] == "loop") {
      if (words.size() != 2 || !parse_seconds(words[1], profile.loop_ms_) ||
          profile.loop_ms_ == 0) {
        return refused("expected \"loop SECONDS\" with SECONDS above 0");
      }
      continue;
    }
    if (words.size() != 3 && !(words.size() == 4 && words[3] == "ramp")) {
      return refused("expected \"TIME OFFSET:SIZE VALUE [ramp]\"");
    }
    Key key;
    Track place;
    if (!parse_seconds(words[0], key.time_ms)) return refused("bad time " + quoted(words[0]));
    if (!parse_place(words[1], true, place.offset, place.size, place.real)) {
      return refused("bad place " + quoted(words[1]) + " (OFFSET:1, 2, 4, 8 or 8f)");
    }
    if (place.real) {
      const auto [stop, code] =
          std::from_chars(words[2].data(), words[2].data() + words[2].size(), key.value);
      // from_chars also reads "nan", "inf" and "infinity": a value that no ramp or offset
      // can use, so only finite numbers are taken.
      if (code != std::errc() || stop != words[2].data() + words[2].size() ||
          !std::isfinite(key.value)) {
        return refused("bad number " + quoted(words[2]) +
                       " (a finite decimal number such as -1.25)");
      }
    } else if (is_number_text(words[2])) {
      key.value = static_cast<double>(parse_number_text(words[2]));
    } else {
      return refused("bad number " + quoted(words[2]));
    }
    key.ramp = words.size() == 4;
    // Tracks are found by their place through an index, so a profile of many tracks parses
    // in linear time; they keep the order of their first lines.
    const std::uint64_t place_key =
        (std::uint64_t{place.offset} << 8) | (place.size << 1) | (place.real ? 1 : 0);
    const auto [found, added] = track_of_place.try_emplace(place_key, profile.tracks_.size());
    if (added) profile.tracks_.push_back(place);
    profile.tracks_[found->second].keys.push_back(key);
  }
  for (Track& track : profile.tracks_) {
    std::stable_sort(track.keys.begin(), track.keys.end(),
                     [](const Key& a, const Key& b) { return a.time_ms < b.time_ms; });
  }
  return profile;
}

SimProfile SimProfile::demo_flight() { return *parse(DEMO_FLIGHT); }

std::optional<double> SimProfile::value_at(const Track& track, std::int64_t elapsed_ms) const {
  const std::int64_t t = loop_ms_ > 0 ? elapsed_ms % loop_ms_ : elapsed_ms;
  auto after =
      std::upper_bound(track.keys.begin(), track.keys.end(), t,
                       [](std::int64_t time, const Key& key) { return time < key.time_ms; });
  if (after == track.keys.begin()) return std::nullopt;
  const Key& from = *(after - 1);
  if (after == track.keys.end() || !after->ramp || after->time_ms == from.time_ms) {
    return from.value;
  }
  const double progress =
      static_cast<double>(t - from.time_ms) / static_cast<double>(after->time_ms - from.time_ms);
  // Not from + (to - from) x progress: the difference of two large values of opposite signs
  // overflows to an infinity. lerp stays between its ends for any finite ones.
  return std::lerp(from.value, after->value, progress);
}

void SimProfile::apply(OffsetSpace& space, std::int64_t elapsed_ms) const {
  for (const Track& track : tracks_) {
    const std::optional<double> value = value_at(track, elapsed_ms);
    if (!value) continue;
    space.set(track.offset, track.size,
              track.real ? std::bit_cast<std::uint64_t>(*value) : integer_bits(*value));
  }
}

}  // namespace kavri
