// The preferences file's rewrite on POSIX systems: permission bits, owners, symbolic and hard
// links, folders closed to new files, and the temporaries of killed saves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/prefs.h"
#include "testing/files.h"

namespace kavri {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::run_unprivileged;
using testing::write_file;

using PrefsFile = testing::ScratchDir;

TEST_F(PrefsFile, RewriteReplacesTheFileWholeAndKeepsItsPermissionsAndLinks) {
  const std::string file = path("perm.ini");
  write_file(file, "a = 1\r\n");
  std::filesystem::permissions(file, std::filesystem::perms(0640));
  // A reader that opened the old file keeps reading the old content whole: the new file
  // replaces it by rename instead of overwriting it in place.
  std::ifstream reader(file, std::ios::binary);
  Prefs prefs;
  ASSERT_TRUE(prefs.open(file));
  prefs.write_string("a", std::string(100000, 'x'));
  ASSERT_TRUE(prefs.close());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "a = 1\r\n");
  EXPECT_EQ(read_file(file), "a = " + std::string(100000, 'x') + "\r\n");
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(files_in_dir(), 1u);  // no temporary left behind

  const std::string link = path("link.ini");
  std::filesystem::create_symlink(file, link);
  ASSERT_TRUE(prefs.open(link));
  prefs.write_int("a", 2);
  ASSERT_TRUE(prefs.close());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_file(file), "a = 2\r\n");
}

TEST_F(PrefsFile, RewriteKeepsTheOwnerAndHardLinksAndWorksInAFolderClosedToNewFiles) {
  const std::string file = path("Kavri.ini");
  const std::string other_link = path("linked.ini");
  write_file(file, "backlight = 1\r\n");
  ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
  std::filesystem::create_hard_link(file, other_link);
  // A save killed before its rename left its temporary; one under way holds its lock.
  write_file(path("Kavri.ini.tmp99999-0"), "abandoned");
  write_file(path("Kavri.ini.tmp99999-1"), "being written");
  const int writer = ::open(path("Kavri.ini.tmp99999-1").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  Prefs prefs;
  ASSERT_TRUE(prefs.create(file));
  prefs.write_int("backlight", 2);
  ASSERT_TRUE(prefs.close());
  EXPECT_EQ(read_file(other_link), "backlight = 2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_FALSE(file_exists(path("Kavri.ini.tmp99999-0")));
  EXPECT_TRUE(file_exists(path("Kavri.ini.tmp99999-1")));
  ::close(writer);

  // A folder where its user may write the file but not make a new one beside it.
  std::filesystem::remove(other_link);
  std::filesystem::permissions(file, std::filesystem::perms(0666));
  EXPECT_TRUE(run_unprivileged([&] {
    Prefs unprivileged;
    if (!unprivileged.create(file)) return false;
    unprivileged.write_int("backlight", 3);
    return unprivileged.close();
  }));
  EXPECT_EQ(read_file(file), "backlight = 3\r\n");
}

}  // namespace
}  // namespace kavri
