// The link's cryptography, all of it from the platform's well-kept library (libsodium on Linux,
// the system's BCrypt on Windows): random bytes, HMAC-SHA256 and a comparison of MACs whose
// time does not depend on where they differ. Both backends give the same MACs, so a Linux
// cockpit and a Windows relay agree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace kavri {

inline constexpr std::size_t MAC_BYTES = 32;
using Mac = std::array<std::uint8_t, MAC_BYTES>;
using ByteView = std::span<const std::uint8_t>;

// Fills `out` from the system's cryptographic random generator. Thread-safe. When the
// generator cannot be used the program ends: a guessable challenge or key must never be used.
void fill_random(std::span<std::uint8_t> out);

// HMAC-SHA256 with `key` (any length) over `parts` one after the other. Thread-safe.
Mac hmac_sha256(ByteView key, std::initializer_list<ByteView> parts);

// Whether two MACs are equal, in a time that does not tell where they differ.
bool same_mac(const Mac& a, const Mac& b);

}  // namespace kavri
