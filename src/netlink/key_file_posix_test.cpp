// The key file's permissions on POSIX systems: its owner's alone, whatever the umask, and
// refused when anyone else may read or change it; links and special files refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "netlink/sealed_channel.h"
#include "testing/files.h"

namespace kavri {
namespace {

using KeyFilePermissions = testing::ScratchDir;

TEST_F(KeyFilePermissions, ANewKeyIsItsOwnersAloneWhateverTheUmask) {
  const mode_t old_umask = ::umask(0);
  const Status written = write_new_link_key(path("open.key"));
  ::umask(old_umask);
  ASSERT_TRUE(written.ok()) << written.error();
  struct stat status {};
  ASSERT_EQ(::stat(path("open.key").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
}

TEST_F(KeyFilePermissions, AKeyOthersMayReadOrChangeIsRefused) {
  ASSERT_TRUE(write_new_link_key(path("k")).ok());
  for (const auto& [mode, good] : std::vector<std::pair<mode_t, bool>>{{0600, true},
                                                                       {0400, true},
                                                                       {0640, false},
                                                                       {0604, false},
                                                                       {0620, false},
                                                                       {0602, false},
                                                                       {0610, false},
                                                                       {0601, false}}) {
    ASSERT_EQ(::chmod(path("k").c_str(), mode), 0);
    EXPECT_EQ(read_link_key(path("k")).ok(), good) << std::oct << mode;
  }
}

TEST_F(KeyFilePermissions, LinksFifosAndFoldersAreRefusedWithoutWaiting) {
  ASSERT_TRUE(write_new_link_key(path("k")).ok());
  std::filesystem::create_symlink(path("k"), path("link"));
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(path("folder"));
  for (const char* name : {"link", "fifo", "folder"}) {
    EXPECT_FALSE(read_link_key(path(name)).ok()) << name;
  }
  // A new key never goes through a link planted at its path.
  std::filesystem::create_symlink(path("elsewhere"), path("planted"));
  EXPECT_FALSE(write_new_link_key(path("planted")).ok());
  EXPECT_FALSE(std::filesystem::exists(path("elsewhere")));
}

}  // namespace
}  // namespace kavri
