// The virtual simulator's 64 KiB of offsets, shared by the request server, the flight profile
// and whoever pins values. Thread-safe: every call takes one lock, and a Batch holds it across
// a whole request block so that a client sees one consistent instant of the flight.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace kavri {

// Version words the space starts with; both pass a client's version check.
constexpr std::uint32_t VIRTUAL_SERVER_VERSION = 0x19980005;
constexpr std::uint32_t VIRTUAL_SIMULATOR_VERSION = 0xFADE000C;

class OffsetSpace {
 public:
  static constexpr std::size_t SIZE = 0x10000;

  OffsetSpace();

  // Bytes [offset, offset + size); false, with nothing done, when they pass the end.
  bool read(std::uint32_t offset, std::span<std::uint8_t> out) const;
  // Sets every byte that is not pinned.
  bool write(std::uint32_t offset, std::span<const std::uint8_t> bytes);

  // Little-endian values of 1 to 8 bytes; set keeps the value's low `size` bytes.
  std::uint64_t get(std::uint32_t offset, std::uint32_t size) const;
  bool set(std::uint32_t offset, std::uint32_t size, std::uint64_t value);
  // Sets the value, version words included, and holds it against the profile and clients.
  bool pin(std::uint32_t offset, std::uint32_t size, std::uint64_t value);

  // The version number the last client wrote at 0x330A. It is kept apart from the space:
  // 0x330A-0x330B are the high half of the simulator version word, whose check pattern the
  // next client's handshake reads.
  std::uint16_t client_version() const;

  // One request block's accesses under one hold of the lock.
  class Batch {
   public:
    bool read(std::uint32_t offset, std::span<std::uint8_t> out) const;
    // A client's write: the version words 0x3304-0x3309 are read-only, 0x330A-0x330B go to
    // client_version(), pinned bytes keep their value.
    bool client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes);

   private:
    friend class OffsetSpace;
    explicit Batch(OffsetSpace& space) : space_(space), lock_(space.mutex_) {}
    OffsetSpace& space_;
    std::unique_lock<std::mutex> lock_;
  };
  Batch lock_batch() { return Batch(*this); }

 private:
  static bool fits(std::uint32_t offset, std::size_t size) {
    return offset <= SIZE && size <= SIZE - offset;
  }
  void write_unpinned(std::uint32_t offset, std::span<const std::uint8_t> bytes);

  mutable std::mutex mutex_;
  std::array<std::uint8_t, SIZE> bytes_{};
  std::bitset<SIZE> pinned_;
  std::array<std::uint8_t, 2> client_version_{};
};

}  // namespace kavri
