// The Windows file access: names with accents whatever the code page, a rewrite that never
// leaves a truncated file, and devices that are never taken for files.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "config/file_access.h"
#include "testing/files.h"

namespace kavri {
namespace {

class FileAccessWin32 : public testing::ScratchDir {
 protected:
  std::filesystem::path root() const { return std::filesystem::path(dir_.path()); }
};

TEST_F(FileAccessWin32, NamesWithAccentsAreTheNamesOnDisk) {
  const std::string folder = dir_.path() + "/Réglages été";
  ASSERT_TRUE(CreateDirectoryW(std::filesystem::path(root() / L"Réglages été").c_str(), nullptr));
  const std::string file = folder + "/Kavri.ini";
  ASSERT_TRUE(replace_file(file, "backlight = 3\r\n"));
  EXPECT_TRUE(std::filesystem::exists(root() / L"Réglages été" / L"Kavri.ini"));
  const FileContents read = read_whole_file(file);
  EXPECT_EQ(read.access, FileAccess::read_write);
  EXPECT_EQ(read.bytes, "backlight = 3\r\n");
  EXPECT_TRUE(prepare_file_for_writing(folder + "/Calibrage.ini"));
}

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

// As the driver names its files: relative to the current directory. A first save replaces the
// empty file that creating it left, a second one the first.
TEST_F(FileAccessWin32, NamesRelativeToTheCurrentDirectoryAreReplaced) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(root());
  const bool prepared = prepare_file_for_writing("Kavri.ini");
  const bool first = replace_file("Kavri.ini", "backlight = 3\r\n");
  const bool second = replace_file("Kavri.ini", "backlight = 4\r\n");
  const FileContents read = read_whole_file("Kavri.ini");
  std::filesystem::current_path(before);
  EXPECT_TRUE(prepared && first && second);
  EXPECT_EQ(read.bytes, "backlight = 4\r\n");
  EXPECT_EQ(files_in_dir(), 1u);
}

TEST_F(FileAccessWin32, DevicesAndFoldersAreNeverFiles) {
  for (const char* device : {"NUL", "CON"}) {
    EXPECT_EQ(read_whole_file(device).access, FileAccess::none) << device;
    EXPECT_FALSE(prepare_file_for_writing(device)) << device;
  }
  EXPECT_EQ(read_whole_file(dir_.path()).access, FileAccess::none);
  EXPECT_FALSE(replace_file(dir_.path(), "x"));
  EXPECT_TRUE(std::filesystem::is_directory(root()));
}

}  // namespace
}  // namespace kavri
