// The file access contract: what the preferences, calibration and gauge files may count on from
// the platform's file access (src/config/file_access.h), checked by one set of tests
// (src/config/file_access_contract_test.cpp) on each backend. A test program runs them on its
// platform's backend by instantiating the suite with that backend's traits:
//   INSTANTIATE_TEST_SUITE_P(Posix, FileAccessContract, ::testing::Values(FileAccessBackend{...}));
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "testing/files.h"

namespace kavri::testing {

// One backend under the contract: its name in the tests' names, and what of the platform it
// meets.
struct FileAccessBackend {
  const char* name;
  // Paths of the platform's devices, which are never taken for files.
  std::vector<const char*> devices;
};
inline void PrintTo(const FileAccessBackend& backend, std::ostream* out) { *out << backend.name; }

class FileAccessContract : public ScratchDir,
                           public ::testing::WithParamInterface<FileAccessBackend> {};

}  // namespace kavri::testing
