#include "server/offset_space.h"

#include <cstring>

#include "simlink/ipc_records.h"

namespace kavri {
namespace {

void store_le(std::uint8_t* bytes, std::uint32_t size, std::uint64_t value) {
  for (std::uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

OffsetSpace::OffsetSpace() {
  store_le(&bytes_[OFFSET_SERVER_VERSION], 4, VIRTUAL_SERVER_VERSION);
  store_le(&bytes_[OFFSET_SIMULATOR_VERSION], 4, VIRTUAL_SIMULATOR_VERSION);
}

bool OffsetSpace::read(std::uint32_t offset, std::span<std::uint8_t> out) const {
  std::lock_guard lock(mutex_);
  if (!fits(offset, out.size())) return false;
  std::memcpy(out.data(), &bytes_[offset], out.size());
  return true;
}

bool OffsetSpace::write(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (!fits(offset, bytes.size())) return false;
  write_unpinned(offset, bytes);
  return true;
}

void OffsetSpace::write_unpinned(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!pinned_[offset + i]) bytes_[offset + i] = bytes[i];
  }
}

std::uint64_t OffsetSpace::get(std::uint32_t offset, std::uint32_t size) const {
  std::lock_guard lock(mutex_);
  if (size > 8 || !fits(offset, size)) return 0;
  std::uint64_t value = 0;
  for (std::uint32_t i = 0; i < size; ++i) value |= std::uint64_t{bytes_[offset + i]} << (8 * i);
  return value;
}

bool OffsetSpace::set(std::uint32_t offset, std::uint32_t size, std::uint64_t value) {
  if (size > 8) return false;
  std::uint8_t bytes[8];
  store_le(bytes, size, value);
  return write(offset, {bytes, size});
}

bool OffsetSpace::pin(std::uint32_t offset, std::uint32_t size, std::uint64_t value) {
  std::lock_guard lock(mutex_);
  if (size > 8 || !fits(offset, size)) return false;
  store_le(&bytes_[offset], size, value);
  for (std::uint32_t i = 0; i < size; ++i) pinned_[offset + i] = true;
  return true;
}

std::uint16_t OffsetSpace::client_version() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::uint16_t>(client_version_[0] | client_version_[1] << 8);
}

bool OffsetSpace::Batch::read(std::uint32_t offset, std::span<std::uint8_t> out) const {
  if (!fits(offset, out.size())) return false;
  std::memcpy(out.data(), &space_.bytes_[offset], out.size());
  return true;
}

bool OffsetSpace::Batch::client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  if (!fits(offset, bytes.size())) return false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t at = offset + i;
    if (at >= OFFSET_CLIENT_VERSION && at < OFFSET_CLIENT_VERSION + 2) {
      space_.client_version_[at - OFFSET_CLIENT_VERSION] = bytes[i];
    } else if ((at < OFFSET_SERVER_VERSION || at >= OFFSET_CLIENT_VERSION) && !space_.pinned_[at]) {
      space_.bytes_[at] = bytes[i];
    }
  }
  return true;
}

}  // namespace kavri
