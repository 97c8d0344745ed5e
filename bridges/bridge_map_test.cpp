// The map: its parser names the file and line of whatever it refuses, and every line of the
// built-in map converts, both ways, values whose units the offsets list documents.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bridges/fgfs_map.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

constexpr const char* GOOD_LINE = "0x0BC0 2 int /controls/flight/elevator-trim 16383 0 read\n";

TEST(BridgeMapParser, RefusesABadLineNamingItsFileAndLine) {
  struct Case {
    const char* line;
    const char* reason;  // a part of the message
  };
  const std::vector<Case> cases{
      {"0x02BC 4 int /velocities/airspeed-kt 128 0", "expected 7 fields"},
      {"0x02BC 4 int /velocities/airspeed-kt 128 0 read extra", "expected 7 fields"},
      {"02BC 4 int /velocities/airspeed-kt 128 0 read", "offset \"02BC\""},
      {"0x10000 4 int /velocities/airspeed-kt 128 0 read", "offset \"0x10000\""},
      {"0x02BC 3 int /velocities/airspeed-kt 128 0 read", "size \"3\""},
      {"0xFFFE 4 int /velocities/airspeed-kt 128 0 read", "pass the end"},
      {"0x02BC 4 integer /velocities/airspeed-kt 128 0 read", "kind \"integer\""},
      {"0x02BC 4 bitx /velocities/airspeed-kt 128 0 read", "kind \"bitx\""},
      {"0x02BC 4 int velocities/airspeed-kt 128 0 read", "property"},
      {"0x02BC 4 int /velocities/<airspeed> 128 0 read", "property"},
      {"0x02BC 4 int /velocities/airspeed-kt 1,28 0 read", "decimal numbers"},
      {"0x02BC 4 int /velocities/airspeed-kt 128 nan read", "decimal numbers"},
      {"0x02BC 4 int /velocities/airspeed-kt 128 0 out", "direction \"out\""},
      {"0x02CC 4 float /orientation/heading-deg 1 0 read", "float lines are 8 bytes"},
      {"0x0D0C 2 bit16 /controls/lighting/beacon 1 0 read", "outside a 2-byte word"},
      {"0x0D0C 2 bit1 /controls/lighting/beacon 1 0 both", "bit lines are read only"},
      {"0x088C 2 int /controls/engines/engine/throttle 0 0 write", "scale other than 0"},
      {"0x3300 8 int /sim/time/elapsed-sec 1 0 read", "version words"},
      {"0x0BC1 2 int /controls/flight/aileron-trim 1 0 read", "overlap line 2"},
      {"0x0BC0 2 bit3 /controls/lighting/beacon 1 0 read", "overlap line 2"},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("# a panel\n") + GOOD_LINE + c.line + "\n";
    const std::string error = failure_message(parse_fgfs_map(text, "panel.map"));
    EXPECT_EQ(error.rfind("panel.map:3: ", 0), 0u) << c.line << ": " << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }

  const std::string word =
      "0x0D0C 2 bit1 /controls/lighting/beacon 1 0 read\n"
      "0x0D0C 2 bit1 /controls/lighting/strobe 1 0 read\n";
  EXPECT_EQ(failure_message(parse_fgfs_map(word, "panel.map")),
            "panel.map:2: bit 1 is already line 1");
  EXPECT_EQ(failure_message(parse_fgfs_map("0x088C 2 int /controls/throttle 16384 0 write\n", "p")),
            "p: no read or both line: FlightGear would send nothing");
}

TEST(BridgeMapParser, ReadsLinesWithCommentsBlanksAndEitherOffsetNotation) {
  const auto map = parse_fgfs_map(
      "# heading\r\n\r\n$0D0C 2 bit9 /controls/switches/dome-white 1 0 read # cabin\r\n"
      "  0x088c 2 int /controls/throttle 16384 0 write\n0x0890 2 int /controls/mixture 16384 0 "
      "both",
      "p");
  ASSERT_TRUE(succeeded(map));
  ASSERT_EQ(map->lines.size(), 3u);
  const MapLine& cabin = map->lines[0];
  EXPECT_EQ(cabin.offset, 0x0D0Cu);
  EXPECT_EQ(cabin.kind, MapKind::bit);
  EXPECT_EQ(cabin.bit, 9u);
  EXPECT_EQ(cabin.note, "cabin");
  EXPECT_EQ(cabin.line_number, 3);
  EXPECT_EQ(map->lines[1].offset, 0x088Cu);
  EXPECT_EQ(map->read_lines(), (std::vector<const MapLine*>{&map->lines[0], &map->lines[2]}));
  EXPECT_EQ(map->write_lines(), (std::vector<const MapLine*>{&map->lines[1], &map->lines[2]}));
}

TEST(BridgeMapParser, TakesADecimalTooSmallForADoubleAsTheNearestDouble) {
  const std::vector<std::pair<const char*, std::optional<double>>> cases{
      {"1e-400", 0.0}, {"-1e-400", -0.0}, {"1e-310", 1e-310}, {"1e400", std::nullopt}};
  for (const auto& [bias, expected] : cases) {
    const auto map = parse_fgfs_map(
        std::string("0x02BC 4 int /velocities/airspeed-kt 128 ") + bias + " read\n", "p");
    ASSERT_EQ(map.ok(), expected.has_value()) << bias << ": " << failure_message(map);
    if (map) {
      EXPECT_EQ(map->lines[0].bias, *expected) << bias;
    }
  }
}

// One documented value per line of the built-in map: FlightGear's property value and what the
// offset holds for it in the offsets list's units.
struct Documented {
  std::uint32_t offset;
  int bit;  // -1: not a bit line
  double property;
  double offset_value;
};

const std::vector<Documented> DOCUMENTED{
    {0x02BC, -1, 100, 12800},           // IAS, knots x 128
    {0x0570, -1, 1000, 1309106012160},  // altitude, metres x 2^32: 1,000 ft = 304.8 m
    {0x0578, -1, 10, -119304647},       // pitch x 2^32/360, nose up negative
    {0x057C, -1, 30, -357913941},       // bank x 2^32/360, right bank negative
    {0x0580, -1, 90, 1073741824},       // heading: 90 degrees = 2^30
    {0x02C8, -1, 10, 780},              // vertical speed, m/s x 256: 10 ft/s = 3.048 m/s
    {0x0330, -1, 1013.25, 16212},       // altimeter setting, hPa x 16
    {0x02CC, -1, 123.5, 123.5},         // whiskey compass, degrees, double
    {0x037C, -1, 1, 512},               // turn rate: 512 = 2-minute turn right
    {0x0898, -1, 2400, 9600},           // RPM = value x scaler / 65536
    {0x08C8, -1, 2400, 16384},          // the RPM scaler
    {0x08C0, -1, 29.92, 30638},         // manifold pressure, inHg x 1024
    {0x08B8, -1, 284, 16384},           // oil temperature: 16384 = 140 C = 284 F
    {0x08BA, -1, 55, 16384},            // oil pressure: 16384 = 55 psi
    {0x08BE, -1, 1580, 16384},          // EGT: 16384 = 860 C = 1580 F
    {0x0918, -1, 52.5, 52.5},           // fuel flow, pounds per hour, double
    {0x0B7C, -1, 0.5, 4194304},         // left tank level: 8388608 = 100 %
    {0x0B80, -1, 26, 26},               // left tank capacity, US gallons
    {0x0B94, -1, 0.25, 2097152},        // right tank level
    {0x0B98, -1, 26, 26},               // right tank capacity
    {0x0E8C, -1, -10.5, -2688},         // outside air temperature, degrees C x 256
    {0x0BDC, -1, 1, 16383},             // flaps handle: 16383 = full
    {0x0BE0, -1, 1, 16383},             // flaps position left
    {0x0BE4, -1, 1, 16383},             // flaps position right
    {0x0BE8, -1, 1, 16383},             // gear control: 16383 = down
    {0x0BEC, -1, 1, 16383},             // gear position nose: 16383 = down
    {0x0BF0, -1, 1, 16383},             // gear position right
    {0x0BF4, -1, 1, 16383},             // gear position left
    {0x0BC0, -1, -1, -16383},           // elevator trim, -16383 .. 16383
    {0x0C02, -1, 1, 16383},             // aileron trim
    {0x0C04, -1, -1, -16383},           // rudder trim
    {0x0BC8, -1, 1, 32767},             // parking brake: 32767 = on
    {0x0D0C, 0, 1, 0x0001},             // navigation lights
    {0x0D0C, 1, 1, 0x0002},             // beacon
    {0x0D0C, 2, 1, 0x0004},             // landing lights
    {0x0D0C, 3, 1, 0x0008},             // taxi light
    {0x0D0C, 4, 1, 0x0010},             // strobes
    {0x0D0C, 5, 0.6, 0x0020},           // instrument lights (a dimmer: any level is on)
    {0x0D0C, 9, 1, 0x0200},             // cabin light
    {0x281C, -1, 1, 1},                 // battery master on
    {0x0C48, -1, -1, -127},             // localiser needle full left
    {0x0C49, -1, 1, -127},              // glide-slope needle full up (FlightGear: fly up)
    {0x0C4B, 0, 1, 1},                  // TO
    {0x0C4B, 1, 1, 2},                  // FROM
    {0x0C4C, -1, 1, 1},                 // glide slope alive
    {0x0C4E, -1, 298, 298},             // NAV1 OBS, degrees
    {0x088C, -1, 0.5, 8192},            // throttle lever: 16384 = full
    {0x088E, -1, 1, 16384},             // propeller lever
    {0x0890, -1, 0.75, 12288},          // mixture lever
};

const MapLine* find_line(const BridgeMap& map, const Documented& d) {
  for (const MapLine& line : map.lines) {
    const bool bit_matches =
        line.kind == MapKind::bit ? static_cast<int>(line.bit) == d.bit : d.bit < 0;
    if (line.offset == d.offset && bit_matches) return &line;
  }
  return nullptr;
}

TEST(FgfsBuiltinMap, EveryLineConvertsDocumentedValuesBothWays) {
  const BridgeMap& map = builtin_fgfs_map();
  std::set<const MapLine*> covered;
  for (const Documented& d : DOCUMENTED) {
    const MapLine* line = find_line(map, d);
    ASSERT_NE(line, nullptr) << std::hex << d.offset << " bit " << d.bit;
    covered.insert(line);
    std::uint64_t bytes = 0;
    if (line->kind == MapKind::floating) {
      EXPECT_EQ(floating_offset_value(*line, d.property), d.offset_value) << line->property;
      bytes = std::bit_cast<std::uint64_t>(d.offset_value);
    } else {
      const auto expected = static_cast<std::int64_t>(d.offset_value);
      EXPECT_EQ(integer_offset_value(*line, d.property), expected) << line->property;
      bytes = static_cast<std::uint64_t>(expected);
    }
    if (line->kind == MapKind::bit || line->scale == 0) {
      EXPECT_EQ(property_value(*line, bytes), std::nullopt) << line->property;
      continue;
    }
    // Back to the property, within the half step that rounding to an integer may cost.
    const auto back = property_value(*line, bytes);
    ASSERT_TRUE(back) << line->property;
    EXPECT_NEAR(*back, d.property, 0.5 / std::fabs(line->scale) + 1e-9) << line->property;
  }
  EXPECT_EQ(covered.size(), map.lines.size()) << "a built-in line without a documented value";
}

TEST(BridgeMapConversion, SetsValuesBeyondTheOffsetToItsNearestLimit) {
  const auto map = parse_fgfs_map(
      "0x0C4C 1 int /a 1 0 read\n0x0580 4 int /b 11930464.711111 0 read\n"
      "0x0570 8 int /c 1 0 read\n0x02CC 8 float /d 1e300 0 read\n",
      "p");
  ASSERT_TRUE(succeeded(map));
  const auto& lines = map->lines;
  constexpr double HIGHEST = std::numeric_limits<double>::max();
  struct Case {
    std::size_t line;
    double property;
    std::optional<double> stored;  // the double, or the integer (its 8 bytes read as signed)
    bool clamped;
  };
  const std::vector<Case> cases{
      {0, 255, 255, false},    // unsigned reading
      {0, -128, -128, false},  // signed reading
      {0, 256, 255, true},
      {0, -152.4, -128, true},  // a CDI at -3 dots on a signed byte: at its stop
      {1, 359.99, 4294847991, false},
      {1, 360, 4294967295, true},
      {2, 1e19, static_cast<double>(static_cast<std::int64_t>(10000000000000000000u)), false},
      {2, 2e19, -1, true},  // all 8 bytes set: the unsigned reading's highest
      {2, -1e30, static_cast<double>(std::numeric_limits<std::int64_t>::min()), true},
      {0, NAN, std::nullopt, false},
      {3, 1e10, HIGHEST, true},  // beyond the double range
      {3, -1e10, -HIGHEST, true},
      {3, INFINITY, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const MapLine& line = lines[c.line];
    bool clamped = !c.clamped;
    std::optional<double> stored;
    if (line.kind == MapKind::floating) {
      stored = floating_offset_value(line, c.property, &clamped);
    } else if (const auto integer = integer_offset_value(line, c.property, &clamped)) {
      stored = static_cast<double>(*integer);
    }
    EXPECT_EQ(stored, c.stored) << line.property << " " << c.property;
    EXPECT_EQ(clamped, c.clamped) << line.property << " " << c.property;
  }
  EXPECT_EQ(property_value(lines[0], 0xFF), -1);  // written bytes read as signed
}

}  // namespace
}  // namespace kavri
