#include "shell/driver_lock.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "device/hid.h"

namespace kavri {

std::string card_lock_name() {
  char name[32];
  std::snprintf(name, sizeof name, "card-%04x-%04x", unsigned{CARD_VENDOR_ID},
                unsigned{CARD_PRODUCT_ID});
  return name;
}

std::string bench_lock_name(const std::string& path) {
  std::error_code error;
  // One name for every spelling of the file's path: "a.ini", "./a.ini", through a link.
  const std::filesystem::path resolved =
      std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
  const std::string text = error ? path : resolved.generic_string();
  // FNV-1a: the same name in every process, whatever characters the path holds.
  std::uint64_t hash = 14695981039346656037u;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  char name[32];
  std::snprintf(name, sizeof name, "bench-%016" PRIx64, hash);
  return name;
}

}  // namespace kavri
