#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/file_access.h"

namespace kavri {

namespace {

// Opens regular files only: the type is looked at first, so a FIFO or a device is never opened
// (opening one may block or have effects of its own); should one take the file's place
// meanwhile, the open does not block and the descriptor is dropped.
int open_regular(const std::string& path, int flags, mode_t mode = 0) {
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) return -1;
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a path names, through any symbolic link, so that replacing it keeps the link.
bool resolve_target(const std::string& path, std::string& target) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    target = path;
    return true;
  }
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return false;  // a dangling link
  target = resolved;
  return true;
}

constexpr std::string_view TEMPORARY_MARK = ".tmp";

// The file name part of a path.
std::string name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary of `target` is named target + ".tmp" + process id + "-" + counter.
bool is_temporary_name(std::string_view name, std::string_view target_name) {
  if (!name.starts_with(target_name)) return false;
  name.remove_prefix(target_name.size());
  if (!name.starts_with(TEMPORARY_MARK)) return false;
  name.remove_prefix(TEMPORARY_MARK.size());
  const std::size_t dash = name.find('-');
  const auto digits = [](std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  return dash != std::string_view::npos && digits(name.substr(0, dash)) &&
         digits(name.substr(dash + 1));
}

// Removes the temporaries of `target` that an earlier save left behind when it was killed. A
// writer holds a lock on its temporary from its creation to its rename, so a temporary that
// can be locked here has no writer any more.
void remove_abandoned_temporaries(const std::string& target) {
  const std::string directory = directory_of(target);
  const std::string target_name = name_of(target);
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (!is_temporary_name(entry->d_name, target_name)) continue;
    const std::string path = directory + "/" + entry->d_name;
    const int fd = open_regular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(dir);
}

// Creates a new temporary file beside `target`, with a name no other writer uses, and locks
// it for as long as it is open (see remove_abandoned_temporaries).
int create_temporary(const std::string& target, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target + std::string(TEMPORARY_MARK) + std::to_string(::getpid()) + "-" +
                std::to_string(counter.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return -1;
    if (fd < 0) continue;
    // Another save may have taken it for abandoned between its creation and the lock.
    struct stat st {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

// Gives the temporary the old file's owner, group and permission bits. False when the system
// does not allow this owner (another user's file): a rename would then change the owner.
bool take_over_identity(int fd, const struct stat& old) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Rewrites the file itself, for when a new file cannot take its place (no temporary can be
// made in its folder, it has other hard links, or its owner could not be kept). The room for
// the new content is taken first, so that a full disk fails before any old byte is lost; a
// crash in the middle of the write itself can still leave a mix of old and new content.
bool rewrite_in_place(const std::string& target, std::string_view bytes) {
  const int fd = open_regular(target, O_WRONLY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  const auto size = static_cast<off_t>(bytes.size());
  const bool room = !ok || size <= st.st_size || ::posix_fallocate(fd, 0, size) == 0;
  // A reservation that the C library emulates may have grown the file before it failed.
  if (ok && !room && ::ftruncate(fd, st.st_size) != 0) ok = false;
  ok = ok && room && write_all(fd, bytes) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

// Writes `bytes` into a new temporary beside `target` and renames it over the target. False
// (with nothing changed and no temporary left) when any step fails; `refused` then tells that
// the temporary could not be made or could not keep the old file's owner.
bool replace_by_rename(const std::string& target, const struct stat* old, std::string_view bytes,
                       bool& refused) {
  std::string temporary;
  const int fd = create_temporary(target, temporary);
  refused = fd < 0;
  if (refused) return false;
  bool ok = true;
  if (old != nullptr && !take_over_identity(fd, *old)) {
    refused = true;
    ok = false;
  }
  ok = ok && write_all(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Makes the rename itself durable; the content is already on the disk either way.
  const int dir = ::open(directory_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

FileContents read_whole_file(const std::string& path) {
  const auto refused = [](FileProblem problem) {
    return FileContents{FileAccess::none, problem, {}};
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return refused(errno == ENOENT || errno == ENOTDIR ? FileProblem::missing
                                                       : FileProblem::unreadable);
  }
  if (!S_ISREG(st.st_mode)) return refused(FileProblem::not_a_file);
  if (static_cast<std::uintmax_t>(st.st_size) > MAX_FILE_BYTES) {
    return refused(FileProblem::too_large);
  }
  const int fd = open_regular(path, O_RDONLY);
  if (fd < 0) return refused(FileProblem::unreadable);
  FileContents result;
  result.bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return refused(FileProblem::unreadable);
    }
    if (n == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (result.bytes.size() + static_cast<std::size_t>(n) > MAX_FILE_BYTES) {
      ::close(fd);
      return refused(FileProblem::too_large);
    }
    result.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  // Whether it could be written is asked, not tried: opening it for writing would tell
  // whoever watches the file of a write that never comes.
  const bool writable = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  result.access = writable ? FileAccess::read_write : FileAccess::read_only;
  return result;
}

bool prepare_file_for_writing(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    return S_ISREG(st.st_mode) && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  }
  const int fd = open_regular(path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool replace_file(const std::string& path, std::string_view bytes) {
  std::string target;
  if (!resolve_target(path, target)) return false;
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;
  remove_abandoned_temporaries(target);
  // A rename would leave the other hard links with the old content.
  if (exists && old.st_nlink > 1) return rewrite_in_place(target, bytes);
  bool refused = false;
  if (replace_by_rename(target, exists ? &old : nullptr, bytes, refused)) return true;
  return exists && refused && rewrite_in_place(target, bytes);
}

}  // namespace kavri
