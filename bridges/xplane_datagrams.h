// X-Plane's UDP datagrams that the bridge uses, as X-Plane's "Sending Data to X-Plane"
// document lays them out (little-endian, names in zero-padded fields):
//   RREF request  "RREF\0", int32 frequency (per second, 0 = stop), int32 index, char[400] name
//   RREF answer   "RREF" and one byte, then (int32 index, float32 value) pairs
//   DREF          "DREF\0", float32 value, char[500] name
//   BECN beacon   "BECN\0", uint8 major, uint8 minor, int32 host id (1 = X-Plane), int32
//                 version, uint32 role (1 = master), uint16 port, then the computer's name;
//                 sent to the multicast group 239.255.1.1, port 49707
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kavri {

constexpr std::size_t RREF_NAME_FIELD = 400;
constexpr std::size_t DREF_NAME_FIELD = 500;
constexpr std::size_t RREF_REQUEST_SIZE = 5 + 4 + 4 + RREF_NAME_FIELD;  // 413
constexpr std::size_t DREF_SIZE = 5 + 4 + DREF_NAME_FIELD;              // 509
constexpr const char* BEACON_GROUP = "239.255.1.1";
constexpr std::uint16_t BEACON_PORT = 49707;

// `name` must leave its field's last byte 0: at most RREF_NAME_FIELD - 1 characters.
std::string rref_request(std::int32_t frequency, std::int32_t index, std::string_view name);
std::string dref_datagram(float value, std::string_view name);

struct RrefValue {
  std::int32_t index = 0;
  float value = 0;
};

// An RREF answer as X-Plane sends it ("RREF," and the pairs): for stand-ins and benchmarks.
std::string rref_answer(const std::vector<RrefValue>& values);

// The pairs of an RREF answer, or why it is none: another header, or a length that is not the
// header and whole pairs.
Result<std::vector<RrefValue>> decode_rref_answer(std::string_view datagram);

// The port X-Plane announces in a BECN beacon (its address is the beacon's sender), or nullopt
// for anything else: another header, too short, a major version other than 1, another
// application than X-Plane, or an X-Plane that is not the master computer (an external visual
// answers nothing).
std::optional<std::uint16_t> beacon_port(std::string_view datagram);
// A beacon of a master X-Plane 12 listening on `port`: for stand-ins.
std::string becn_beacon(std::uint16_t port, std::string_view computer_name);

}  // namespace kavri
