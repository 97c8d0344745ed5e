// X-Plane's datagrams byte for byte as its UDP document lays them out, what an answer or a
// beacon may hold, and the built-in X-Plane map's names.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "bridges/xplane_datagrams.h"
#include "bridges/xplane_map.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

std::string le32(std::uint32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
  return out;
}

const char* const AIRSPEED = "sim/cockpit2/gauges/indicators/airspeed_kts_pilot";

TEST(XplaneDatagrams, RequestsAreLaidOutByteForByte) {
  const std::string rref = rref_request(20, 12, AIRSPEED);
  ASSERT_EQ(rref.size(), 413u);
  EXPECT_EQ(rref, std::string("RREF\0", 5) + le32(20) + le32(12) + AIRSPEED +
                      std::string(400 - std::string(AIRSPEED).size(), '\0'));
  const std::string dref = dref_datagram(0.5f, "sim/cockpit2/engine/actuators/throttle_ratio[0]");
  ASSERT_EQ(dref.size(), 509u);
  EXPECT_EQ(dref.substr(0, 9), std::string("DREF\0", 5) + le32(0x3F000000));
  EXPECT_EQ(dref.substr(9, 47), "sim/cockpit2/engine/actuators/throttle_ratio[0]");
  EXPECT_EQ(dref.find_first_not_of('\0', 9 + 47), std::string::npos);
}

TEST(XplaneDatagrams, AnswersHoldWholePairsAfterTheirHeader) {
  const std::string two_pairs = "RREF," + le32(3) + le32(std::bit_cast<std::uint32_t>(74.5f)) +
                                le32(9) + le32(std::bit_cast<std::uint32_t>(-1.0f));
  const auto values = decode_rref_answer(two_pairs);
  ASSERT_TRUE(succeeded(values));
  ASSERT_EQ(values->size(), 2u);
  EXPECT_EQ((*values)[0].index, 3);
  EXPECT_EQ((*values)[0].value, 74.5f);
  EXPECT_EQ((*values)[1].index, 9);
  EXPECT_TRUE(decode_rref_answer("RREF,")) << "an answer of no pair";
  for (const std::string& bad :
       {std::string(), std::string("RREF"), std::string("DREF,") + le32(1), two_pairs.substr(0, 12),
        two_pairs + "x", "XREF," + two_pairs.substr(5)}) {
    EXPECT_FALSE(decode_rref_answer(bad)) << bad.size();
  }
}

// A beacon of X-Plane 12 as master on port 49000: header, versions 1.2, host 1, version
// 120000, role 1, port, name.
std::string beacon(std::uint32_t host, std::uint32_t role, std::uint16_t port) {
  return std::string("BECN\0", 5) + "\x01\x02" + le32(host) + le32(120000) + le32(role) +
         static_cast<char>(port & 0xFF) + static_cast<char>(port >> 8) + "simulator" + '\0';
}

TEST(XplaneBeacon, GivesTheMasterXplanesPortOnly) {
  EXPECT_EQ(beacon_port(beacon(1, 1, 49000)), 49000);
  EXPECT_EQ(beacon_port(beacon(1, 1, 49000).substr(0, 21)), 49000) << "without a name";
  EXPECT_EQ(beacon_port(beacon(2, 1, 49000)), std::nullopt) << "Plane Maker";
  EXPECT_EQ(beacon_port(beacon(1, 2, 49000)), std::nullopt) << "an external visual";
  EXPECT_EQ(beacon_port(beacon(1, 1, 0)), std::nullopt);
  EXPECT_EQ(beacon_port(beacon(1, 1, 49000).substr(0, 20)), std::nullopt);
  EXPECT_EQ(beacon_port("BECN" + beacon(1, 1, 49000).substr(5)), std::nullopt);
  std::string major_2 = beacon(1, 1, 49000);
  major_2[5] = 2;
  EXPECT_EQ(beacon_port(major_2), std::nullopt) << "another layout";
  EXPECT_EQ(becn_beacon(49000, "simulator"), beacon(1, 1, 49000));
}

TEST(XplaneMap, NamesMustFitTheRequestField) {
  const auto line = [](const std::string& name) {
    return "0x02BC 4 int " + name + " 128 0 read\n";
  };
  EXPECT_TRUE(succeeded(parse_bridge_map(line(std::string(399, 'a')), "p", XPLANE_NAMES)));
  EXPECT_EQ(failure_message(parse_bridge_map(line(std::string(400, 'a')), "p", XPLANE_NAMES)),
            "p:1: dataref of 400 characters: X-Plane's requests hold 399");
  EXPECT_FALSE(parse_bridge_map(line("/sim/x"), "p", XPLANE_NAMES));
  EXPECT_FALSE(parse_bridge_map(line("sim/x\"y"), "p", XPLANE_NAMES));
  EXPECT_EQ(
      failure_message(parse_bridge_map("0x088C 2 int sim/t 16384 0 write\n", "p", XPLANE_NAMES)),
      "p: no read or both line: X-Plane would send nothing");
  // The built-in map: every name fits both fields, and the levers go both ways.
  const BridgeMap& map = builtin_xplane_map();
  EXPECT_EQ(map.write_lines().size(), 3u);
  for (const MapLine& l : map.lines) EXPECT_LT(l.property.size(), RREF_NAME_FIELD);
}

}  // namespace
}  // namespace kavri
