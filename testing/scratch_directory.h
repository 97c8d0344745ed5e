// A private directory for one run's sockets (tests, benchmarks), removed with its contents.
#pragma once

#include <string>

namespace kavri {

class ScratchDirectory {
 public:
  ScratchDirectory();  // a new directory under /tmp, mode 0700
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kavri
