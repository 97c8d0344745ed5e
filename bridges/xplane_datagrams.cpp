#include "bridges/xplane_datagrams.h"

#include <algorithm>
#include <bit>

namespace kavri {
namespace {

void put_u32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

std::uint32_t get_u32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

// `name` in a zero-padded field of `size` bytes (cut to leave the last one 0).
void put_name(std::string& out, std::string_view name, std::size_t size) {
  const std::size_t kept = std::min(name.size(), size - 1);
  out.append(name.substr(0, kept));
  out.append(size - kept, '\0');
}

}  // namespace

std::string rref_request(std::int32_t frequency, std::int32_t index, std::string_view name) {
  std::string out("RREF\0", 5);
  put_u32(out, static_cast<std::uint32_t>(frequency));
  put_u32(out, static_cast<std::uint32_t>(index));
  put_name(out, name, RREF_NAME_FIELD);
  return out;
}

std::string dref_datagram(float value, std::string_view name) {
  std::string out("DREF\0", 5);
  put_u32(out, std::bit_cast<std::uint32_t>(value));
  put_name(out, name, DREF_NAME_FIELD);
  return out;
}

std::string rref_answer(const std::vector<RrefValue>& values) {
  std::string out = "RREF,";
  for (const RrefValue& value : values) {
    put_u32(out, static_cast<std::uint32_t>(value.index));
    put_u32(out, std::bit_cast<std::uint32_t>(value.value));
  }
  return out;
}

Result<std::vector<RrefValue>> decode_rref_answer(std::string_view datagram) {
  constexpr std::size_t HEADER = 5, PAIR = 8;
  if (datagram.size() < HEADER || datagram.substr(0, 4) != "RREF") {
    return fail("not an RREF answer");
  }
  if ((datagram.size() - HEADER) % PAIR != 0) {
    return fail("an RREF answer of " + std::to_string(datagram.size()) +
                " bytes (not whole pairs)");
  }
  std::vector<RrefValue> values;
  values.reserve((datagram.size() - HEADER) / PAIR);
  for (std::size_t at = HEADER; at < datagram.size(); at += PAIR) {
    values.push_back({static_cast<std::int32_t>(get_u32(datagram, at)),
                      std::bit_cast<float>(get_u32(datagram, at + 4))});
  }
  return values;
}

std::string becn_beacon(std::uint16_t port, std::string_view computer_name) {
  std::string out("BECN\0\x01\x02", 7);  // major 1, minor 2
  put_u32(out, 1);                       // X-Plane
  put_u32(out, 120000);                  // version 12.00
  put_u32(out, 1);                       // master
  out += static_cast<char>(port & 0xFF);
  out += static_cast<char>(port >> 8);
  out.append(computer_name);
  out += '\0';
  return out;
}

std::optional<std::uint16_t> beacon_port(std::string_view datagram) {
  // Header 5, versions 2, host id 4, version 4, role 4, port 2.
  constexpr std::size_t PORT_AT = 19;
  if (datagram.size() < PORT_AT + 2 || datagram.substr(0, 5) != std::string_view("BECN\0", 5)) {
    return std::nullopt;
  }
  // Version 1 is the layout read here; another major version may move its fields.
  const auto major = static_cast<unsigned char>(datagram[5]);
  const std::uint32_t host = get_u32(datagram, 7);
  const std::uint32_t role = get_u32(datagram, 15);
  if (major != 1 || host != 1 || role != 1) return std::nullopt;
  const auto port =
      static_cast<std::uint16_t>(static_cast<unsigned char>(datagram[PORT_AT]) |
                                 static_cast<unsigned char>(datagram[PORT_AT + 1]) << 8);
  if (port == 0) return std::nullopt;
  return port;
}

}  // namespace kavri
