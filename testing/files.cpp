#include "testing/files.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace kavri {

#if defined(_WIN32)
// Windows has no mkdtemp: a random name, made only if it is new.
ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("kavri-scratch-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("no scratch directory could be made");
}
#else
ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavri-scratch-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
#if defined(_WIN32)
  // Windows removes no read-only file: each file gets its write permission back first.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
  }
#endif
  std::filesystem::remove_all(path_, ignored);
}

std::size_t ScratchDirectory::file_count() const {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                std::filesystem::directory_iterator()));
}

namespace testing {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

ScratchDir::ScratchDir() {
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0755));
}

#if defined(_WIN32)
// Windows refuses to write a read-only file to every user alike.
bool run_unprivileged(const std::function<bool()>& body) { return body(); }
#else
bool run_unprivileged(const std::function<bool()>& body) {
  if (::geteuid() != 0) return body();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

}  // namespace testing
}  // namespace kavri
