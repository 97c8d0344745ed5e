#include "testing/scratch_directory.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kavri {

ScratchDirectory::ScratchDirectory() {
  std::string pattern = "/tmp/kavri-scratch-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace kavri
