// The link's cryptography on libsodium.
#include <sodium.h>

#include <cstdio>
#include <cstdlib>

#include "netlink/link_crypto.h"

namespace kavri {
namespace {

// libsodium is initialised once, whichever thread comes first (a function-local static is
// initialised exactly once); it fails only when the system's random source cannot be opened.
void ensure_sodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) {
    std::fputs("kavri: the system's random source cannot be used (libsodium)\n", stderr);
    std::abort();
  }
}

}  // namespace

void fill_random(std::span<std::uint8_t> out) {
  ensure_sodium();
  randombytes_buf(out.data(), out.size());
}

Mac hmac_sha256(ByteView key, std::initializer_list<ByteView> parts) {
  ensure_sodium();
  crypto_auth_hmacsha256_state state;
  crypto_auth_hmacsha256_init(&state, key.data(), key.size());
  for (const ByteView part : parts) crypto_auth_hmacsha256_update(&state, part.data(), part.size());
  Mac mac{};
  crypto_auth_hmacsha256_final(&state, mac.data());
  sodium_memzero(&state, sizeof state);
  return mac;
}

bool same_mac(const Mac& a, const Mac& b) {
  ensure_sodium();
  return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace kavri
