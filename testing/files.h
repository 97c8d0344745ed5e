// Files for tests: one private scratch directory per use, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>

namespace kavri {

// A new directory of this process's own (mode 0700) under the system's temporary directory,
// removed with its contents when it goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside it.
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::size_t file_count() const;

 private:
  std::string path_;
};

namespace testing {

// The whole content of a file, byte for byte; "" when it cannot be read.
std::string read_file(const std::string& path);
// Replaces (or creates) a file with exactly `bytes`.
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// Runs `body` where permission bits are enforced: as root (who may write anything), in a child
// process that has become "nobody". True when `body` returned true.
bool run_unprivileged(const std::function<bool()>& body);

// Whether a file can be made write-only: Windows files are at most read-only.
#if defined(_WIN32)
inline constexpr bool FILES_CAN_BE_WRITE_ONLY = false;
#else
inline constexpr bool FILES_CAN_BE_WRITE_ONLY = true;
#endif

// A fixture with a fresh scratch directory per test, open to other users (mode 0755) so that
// run_unprivileged can reach its files.
class ScratchDir : public ::testing::Test {
 protected:
  ScratchDir();
  std::string path(const std::string& name) const { return dir_.file(name); }
  std::size_t files_in_dir() const { return dir_.file_count(); }
  ScratchDirectory dir_;
};

}  // namespace testing
}  // namespace kavri
