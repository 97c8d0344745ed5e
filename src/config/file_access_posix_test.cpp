// The file access on POSIX systems: the contract on it (device /dev/null), and the preferences
// file's rewrite: permission bits, owners, symbolic and hard links, folders closed to new files,
// the temporaries of saves under way, FIFOs never opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/file_access.h"
#include "config/gauge_config.h"
#include "config/prefs.h"
#include "testing/file_access_contract.h"
#include "testing/files.h"

namespace kavri {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::run_unprivileged;
using testing::write_file;

using PrefsFile = testing::ScratchDir;

using testing::FileAccessContract;
INSTANTIATE_TEST_SUITE_P(Posix, FileAccessContract,
                         ::testing::Values(testing::FileAccessBackend{"posix", {"/dev/null"}}));

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
  // A save under way holds the lock of its temporary, which stays.
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

// The opens and closes of one path, as whoever watches the file sees them.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    ::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
  }
  ~OpenWatch() { ::close(fd_); }
  // The events seen so far, or-ed together.
  std::uint32_t seen() const {
    std::uint32_t mask = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        mask |= event->mask;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return mask;
  }

 private:
  int fd_;
};

// A file that is only read is opened for reading only, so that no watcher is told of a write;
// a FIFO or a device is never opened at all, whatever is asked of it.
TEST_F(PrefsFile, FilesOnlyReadAreOpenedForReadingAndOtherThingsNotOpened) {
  const std::string file = path("a.jcf");
  write_file(file, "[jauge]\r\nString_offset1 = $0BC0\r\n");
  const OpenWatch file_watch(file);
  const std::string_view keys[] = {"String_offset1"};
  EXPECT_TRUE(read_gauge_config(file, keys));
  EXPECT_EQ(read_whole_file(file).access, FileAccess::read_write);
  EXPECT_TRUE(prepare_file_for_writing(file));
  const std::uint32_t file_events = file_watch.seen();
  EXPECT_NE(file_events & IN_CLOSE_NOWRITE, 0u);
  EXPECT_EQ(file_events & IN_CLOSE_WRITE, 0u);

  const std::string fifo = path("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const OpenWatch fifo_watch(fifo);
  EXPECT_EQ(read_whole_file(fifo).problem, FileProblem::not_a_file);
  EXPECT_FALSE(prepare_file_for_writing(fifo));
  EXPECT_FALSE(replace_file(fifo, "x"));
  Prefs prefs;
  EXPECT_FALSE(prefs.open(fifo));
  EXPECT_FALSE(prefs.create(fifo));
  EXPECT_EQ(fifo_watch.seen() & IN_OPEN, 0u);
}

}  // namespace
}  // namespace kavri
