// What the files of the driver may count on from any file access: run on the POSIX one and, under
// Wine, on the Windows one.
#include "testing/file_access_contract.h"

#include <filesystem>

#include "config/file_access.h"

namespace kavri::testing {
namespace {

std::filesystem::path disk_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

TEST_P(FileAccessContract, NamesWithAccentsAreTheNamesOnDisk) {
  const std::string folder = dir_.path() + "/Réglages été";
  ASSERT_TRUE(std::filesystem::create_directory(disk_path(folder)));
  const std::string file = folder + "/Kavri.ini";
  ASSERT_TRUE(replace_file(file, "backlight = 3\r\n"));
  EXPECT_TRUE(std::filesystem::exists(disk_path(folder) / "Kavri.ini"));
  const FileContents read = read_whole_file(file);
  EXPECT_EQ(read.access, FileAccess::read_write);
  EXPECT_EQ(read.bytes, "backlight = 3\r\n");
  EXPECT_TRUE(prepare_file_for_writing(folder + "/Calibrage.ini"));
  EXPECT_TRUE(std::filesystem::exists(disk_path(folder) / "Calibrage.ini"));
}

// As the driver names its files: relative to the current directory. A first save replaces the
// empty file that creating it left, a second one the first, and neither leaves a temporary.
TEST_P(FileAccessContract, NamesRelativeToTheCurrentDirectoryAreReplaced) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  const bool prepared = prepare_file_for_writing("Kavri.ini");
  const bool first = replace_file("Kavri.ini", "backlight = 3\r\n");
  const bool second = replace_file("Kavri.ini", "backlight = 4\r\n");
  const FileContents read = read_whole_file("Kavri.ini");
  std::filesystem::current_path(before);
  EXPECT_TRUE(prepared && first && second);
  EXPECT_EQ(read.bytes, "backlight = 4\r\n");
  EXPECT_EQ(files_in_dir(), 1u);
}

// A save killed before its rename left its temporary beside the file: the next save removes it.
TEST_P(FileAccessContract, ASaveRemovesTheTemporaryOfAKilledOne) {
  const std::string file = path("Kavri.ini");
  write_file(file, "backlight = 1\r\n");
  write_file(path("Kavri.ini.tmp99999-0"), "abandoned");
  write_file(path("Other.ini.tmp99999-0"), "another file's");
  ASSERT_TRUE(replace_file(file, "backlight = 2\r\n"));
  EXPECT_EQ(read_file(file), "backlight = 2\r\n");
  EXPECT_FALSE(file_exists(path("Kavri.ini.tmp99999-0")));
  EXPECT_TRUE(file_exists(path("Other.ini.tmp99999-0")));
}

TEST_P(FileAccessContract, DevicesAndFoldersAreNeverFiles) {
  for (const char* device : GetParam().devices) {
    EXPECT_EQ(read_whole_file(device).access, FileAccess::none) << device;
    EXPECT_FALSE(prepare_file_for_writing(device)) << device;
  }
  EXPECT_EQ(read_whole_file(dir_.path()).problem, FileProblem::not_a_file);
  EXPECT_FALSE(prepare_file_for_writing(dir_.path()));
  EXPECT_FALSE(replace_file(dir_.path(), "x"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path()));
  EXPECT_EQ(files_in_dir(), 0u);
}

}  // namespace
}  // namespace kavri::testing
