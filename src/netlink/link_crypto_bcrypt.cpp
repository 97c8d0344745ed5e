// The link's cryptography on the system's BCrypt (Windows 7 and later).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "netlink/link_crypto.h"

namespace kavri {
namespace {

[[noreturn]] void cannot_use(const char* what) {
  std::fprintf(stderr, "kavri: the system's cryptography failed (%s)\n", what);
  std::abort();
}

bool succeeded(NTSTATUS status) { return status >= 0; }

// The HMAC-SHA256 provider, opened once, whichever thread comes first, and kept for the
// process's life. A provider handle may be used by several threads at once.
BCRYPT_ALG_HANDLE hmac_provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!succeeded(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
      cannot_use("BCryptOpenAlgorithmProvider");
    }
    return opened;
  }();
  return provider;
}

ULONG as_ulong(std::size_t size) {
  if (size > 0xFFFFFFFFu) cannot_use("a buffer above 4 GiB");
  return static_cast<ULONG>(size);
}

// BCrypt takes its inputs through non-const pointers but does not write them.
PUCHAR input_pointer(ByteView bytes) { return const_cast<PUCHAR>(bytes.data()); }

}  // namespace

void fill_random(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t chunk = std::min<std::size_t>(out.size(), 1u << 20);
    if (!succeeded(BCryptGenRandom(nullptr, out.data(), as_ulong(chunk),
                                   BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      cannot_use("BCryptGenRandom");
    }
    out = out.subspan(chunk);
  }
}

Mac hmac_sha256(ByteView key, std::initializer_list<ByteView> parts) {
  // No hash object buffer: BCrypt allocates and frees it itself (Windows 7 and later).
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!succeeded(BCryptCreateHash(hmac_provider(), &hash, nullptr, 0, input_pointer(key),
                                  as_ulong(key.size()), 0))) {
    cannot_use("BCryptCreateHash");
  }
  Mac mac{};
  bool hashed = true;
  for (const ByteView part : parts) {
    hashed =
        hashed && succeeded(BCryptHashData(hash, input_pointer(part), as_ulong(part.size()), 0));
  }
  hashed = hashed && succeeded(BCryptFinishHash(hash, mac.data(), as_ulong(mac.size()), 0));
  BCryptDestroyHash(hash);
  if (!hashed) cannot_use("BCryptHashData");
  return mac;
}

bool same_mac(const Mac& a, const Mac& b) {
  // BCrypt has no comparison of its own. Every byte is looked at, whatever came before, and
  // the differences are gathered through a volatile so that the compiler cannot stop at the
  // first one.
  volatile std::uint8_t differences = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    differences = static_cast<std::uint8_t>(differences | (a[i] ^ b[i]));
  }
  return differences == 0;
}

}  // namespace kavri
