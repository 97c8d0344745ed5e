#include "simlink/area_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>

#include "simlink/guarded_copy.h"

namespace kavri {
namespace {

// Where Linux keeps the POSIX shared-memory objects, by name.
constexpr const char* SHM_DIRECTORY = "/dev/shm";
constexpr std::string_view AREA_PREFIX = "FsasmLib:IPC:";

// The process id of an area name "FsasmLib:IPC:<pid>:<n>" (hexadecimal), or 0.
pid_t area_owner(std::string_view name) {
  if (!name.starts_with(AREA_PREFIX)) return 0;
  name.remove_prefix(AREA_PREFIX.size());
  std::uint32_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid, 16);
  if (error != std::errc() || end == name.data() || end == name.data() + name.size() ||
      *end != ':') {
    return 0;
  }
  return static_cast<pid_t>(pid);
}

bool process_gone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// The whole area of the open object `fd`, or null.
std::uint8_t* map_area(int fd) {
  void* map = mmap(nullptr, IPC_AREA_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return map == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(map);
}

// A name that can only designate an object of the shared-memory namespace.
bool plausible_area_name(std::string_view name) {
  for (char c : name) {
    if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return !name.empty();
}

bool copy_in(std::uint8_t* map, std::span<const std::uint8_t> block) {
  return map != nullptr && block.size() <= IPC_AREA_SIZE &&
         guarded_copy(map, block.data(), block.size());
}

bool copy_out(const std::uint8_t* map, std::span<std::uint8_t> block) {
  return map != nullptr && block.size() <= IPC_AREA_SIZE &&
         guarded_copy(block.data(), map, block.size());
}

}  // namespace

IpcResult PosixArea::create(const std::string& name) {
  release();
  remove_stale_areas();
  const std::string object = "/" + name;
  const int fd = shm_open(object.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return IpcResult::area_failed;  // an existing object is neither used nor removed
  object_ = object;
  if (ftruncate(fd, static_cast<off_t>(IPC_AREA_SIZE)) != 0) {
    close(fd);
    return IpcResult::area_failed;
  }
  map_ = map_area(fd);
  close(fd);
  return map_ != nullptr ? IpcResult::ok : IpcResult::view_failed;
}

bool PosixArea::store(std::span<const std::uint8_t> block) { return copy_in(map_, block); }

bool PosixArea::load(std::span<std::uint8_t> block) { return copy_out(map_, block); }

void PosixArea::release() {
  if (map_ != nullptr) munmap(map_, IPC_AREA_SIZE);
  map_ = nullptr;
  if (!object_.empty()) shm_unlink(object_.c_str());
  object_.clear();
}

bool NamedArea::open(std::string_view name) {
  if (map_ != nullptr && name == name_) return true;
  reset();
  if (!plausible_area_name(name)) return false;
  const int fd = shm_open(("/" + std::string(name)).c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat status {};
  if (fstat(fd, &status) == 0 && status.st_size >= static_cast<off_t>(IPC_AREA_SIZE)) {
    map_ = map_area(fd);
  }
  close(fd);
  if (map_ != nullptr) name_ = name;
  return map_ != nullptr;
}

bool NamedArea::load(std::span<std::uint8_t> block) const { return copy_out(map_, block); }

bool NamedArea::store(std::span<const std::uint8_t> block) const { return copy_in(map_, block); }

void NamedArea::reset() {
  if (map_ != nullptr) munmap(map_, IPC_AREA_SIZE);
  map_ = nullptr;
  name_.clear();
}

void remove_stale_areas() {
  DIR* directory = opendir(SHM_DIRECTORY);
  if (directory == nullptr) return;
  const pid_t self = getpid();
  while (const dirent* entry = readdir(directory)) {
    const pid_t owner = area_owner(entry->d_name);
    struct stat status {};
    if (owner <= 0 || owner == self ||
        fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode) || status.st_uid != geteuid() || !process_gone(owner)) {
      continue;
    }
    shm_unlink(("/" + std::string(entry->d_name)).c_str());
  }
  closedir(directory);
}

}  // namespace kavri
