// The key file on POSIX systems: made with mode 0600 by an exclusive create, so it is never
// anyone else's file and never readable by others, even for a moment; read only when its
// group and others have no permission on it, as ssh treats a private key.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/text_excerpt.h"
#include "netlink/key_text.h"

namespace kavri {
namespace {

std::string named(const std::string& path) { return "the key file " + excerpt(path); }

std::string system_reason() { return std::strerror(errno); }

// Closes the descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

Status write_new_link_key(const std::string& path) {
  Descriptor file{::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
  if (file.fd < 0) return fail("cannot make " + named(path) + ": " + system_reason());
  const std::string text = link_key_text(new_link_key());
  if (!write_all(file.fd, text) || ::fsync(file.fd) != 0) {
    const std::string reason = system_reason();
    ::unlink(path.c_str());  // a half-written key would be refused later; it goes now
    return fail("cannot write " + named(path) + ": " + reason);
  }
  return done();
}

Result<LinkKey> read_link_key(const std::string& path) {
  // Non-blocking, so that a FIFO put in the key's place never holds the program up.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) return fail("cannot read " + named(path) + ": " + system_reason());
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) {
    return fail("cannot read " + named(path) + ": " + system_reason());
  }
  if (!S_ISREG(status.st_mode)) return fail(named(path) + " is not a regular file");
  if ((status.st_mode & 077) != 0) {
    return fail(named(path) +
                " may be read or changed by other users; make it its owner's "
                "alone (chmod 600)");
  }
  char bytes[KEY_FILE_MAX_BYTES + 1];
  std::size_t count = 0;
  while (count < sizeof bytes) {
    const ssize_t got = ::read(file.fd, bytes + count, sizeof bytes - count);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail("cannot read " + named(path) + ": " + system_reason());
    if (got == 0) break;
    count += static_cast<std::size_t>(got);
  }
  auto key = parse_link_key_text({bytes, count});
  if (!key) return fail(named(path) + " is not a key: " + key.error());
  return key;
}

}  // namespace kavri
