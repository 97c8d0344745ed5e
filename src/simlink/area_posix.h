// The request area of the POSIX transport: a POSIX shared-memory object that the client creates
// and maps for the life of its link. Each side works on a private copy of the block and moves
// it in and out with guarded copies (simlink/guarded_copy.h): a process of the same user that
// shrinks the object, even in the middle of an exchange, can make that exchange fail but never
// crash either side.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "simlink/ipc_records.h"

namespace kavri {

// The client's side: the object it created, removed when released.
class PosixArea {
 public:
  PosixArea() = default;
  PosixArea(const PosixArea&) = delete;
  PosixArea& operator=(const PosixArea&) = delete;
  ~PosixArea() { release(); }

  // Removes the areas of this user's processes that ended without removing theirs, then
  // creates the object "/" + `name` of IPC_AREA_SIZE bytes, mode 0600. area_failed when it
  // cannot, also when an object of that name exists (it is neither used nor removed).
  IpcResult create(const std::string& name);
  // Copies `block` (at most IPC_AREA_SIZE bytes) to the start of the area, or the start of the
  // area into `block`; false when the object no longer holds those bytes.
  bool store(std::span<const std::uint8_t> block);
  bool load(std::span<std::uint8_t> block);
  // Unmaps and removes the object; harmless when there is none.
  void release();

 private:
  std::uint8_t* map_ = nullptr;
  std::string object_;
};

// The server's side: the object a client named, mapped for as long as the client keeps using
// that name. Opening checks that the object holds a whole area.
class NamedArea {
 public:
  NamedArea() = default;
  NamedArea(const NamedArea&) = delete;
  NamedArea& operator=(const NamedArea&) = delete;
  ~NamedArea() { reset(); }

  // Maps the object "/" + `name` unless it is mapped already; false when there is no such
  // object, it holds less than IPC_AREA_SIZE bytes, or `name` could designate anything else.
  bool open(std::string_view name);
  bool load(std::span<std::uint8_t> block) const;
  bool store(std::span<const std::uint8_t> block) const;
  // Unmaps; the next open maps the object anew (after a copy failed, for instance).
  void reset();

 private:
  std::uint8_t* map_ = nullptr;
  std::string name_;
};

// Removes every area named after a process id that no longer exists ("FsasmLib:IPC:<pid>:<n>",
// owned by this user): what a driver killed before it could close its link leaves behind.
void remove_stale_areas();

}  // namespace kavri
