// The Windows file access: the contract on it (devices NUL and CON), and a rewrite that never
// leaves a truncated file while another program holds it open.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "config/file_access.h"
#include "testing/file_access_contract.h"
#include "testing/files.h"

namespace kavri {
namespace {

using testing::FileAccessContract;
INSTANTIATE_TEST_SUITE_P(Win32, FileAccessContract,
                         ::testing::Values(testing::FileAccessBackend{"win32", {"NUL", "CON"}}));

class FileAccessWin32 : public testing::ScratchDir {
 protected:
  std::filesystem::path root() const { return std::filesystem::path(dir_.path()); }
};

TEST_F(FileAccessWin32, AFileHeldOpenByAnotherProgramKeepsItsWholeContent) {
  const std::string file = path("Kavri.ini");
  ASSERT_TRUE(replace_file(file, "backlight = 3\r\n"));
  ASSERT_TRUE(replace_file(file, "backlight = 4\r\n"));  // over an existing file
  EXPECT_EQ(testing::read_file(file), "backlight = 4\r\n");
  {
    // Opened as most programs open a file: without letting it be replaced meanwhile.
    HANDLE reader = CreateFileW(std::filesystem::path(root() / L"Kavri.ini").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(replace_file(file, "backlight = 9\r\n"));
    CloseHandle(reader);
  }
  EXPECT_EQ(testing::read_file(file), "backlight = 4\r\n");
  EXPECT_EQ(files_in_dir(), 1u);  // no temporary left behind
}

}  // namespace
}  // namespace kavri
