// The key file on every platform: a new key each time, never over an existing file, and a
// clear refusal of anything that is not one key.
#include <gtest/gtest.h>

#include <filesystem>

#include "netlink/sealed_channel.h"
#include "testing/files.h"

namespace kavri {
namespace {

using KeyFile = testing::ScratchDir;
using testing::read_file;
using testing::write_file;

// Writes `content` as a file only its owner may read, so that only the content is judged.
void write_private(const std::string& path, const std::string& content) {
  write_file(path, content);
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(KeyFile, EachNewKeyIsFreshAndReadsBack) {
  ASSERT_TRUE(write_new_link_key(path("a.key")).ok());
  ASSERT_TRUE(write_new_link_key(path("b.key")).ok());
  EXPECT_EQ(read_file(path("a.key")).size(), 65u);  // 64 digits and a newline
  const auto a = read_link_key(path("a.key"));
  const auto b = read_link_key(path("b.key"));
  ASSERT_TRUE(a.ok()) << a.error();
  ASSERT_TRUE(b.ok()) << b.error();
  EXPECT_NE(*a, *b);
}

TEST_F(KeyFile, NeverReplacesAnExistingFile) {
  write_private(path("taken"), "the old content");
  EXPECT_FALSE(write_new_link_key(path("taken")).ok());
  EXPECT_EQ(read_file(path("taken")), "the old content");
}

TEST_F(KeyFile, ReadsAKeyCopiedByHandAndRefusesAnythingElse) {
  const std::string digits(64, 'a');
  const std::vector<std::pair<std::string, bool>> cases = {
      {digits + "\n", true},
      {digits, true},
      {std::string(64, 'F') + "\r\n", true},  // upper case, a Windows editor's line end
      {"", false},
      {digits.substr(1) + "\n", false},
      {digits + "a\n", false},
      {digits + "\n\n", false},
      {"g" + digits.substr(1) + "\n", false},
      {" " + digits.substr(1) + "\n", false},
      {std::string(32, '\xAA'), false},  // the raw bytes of a key
      {std::string(1 << 20, 'a'), false},
  };
  for (const auto& [content, good] : cases) {
    SCOPED_TRACE(content.substr(0, 80));
    write_private(path("k"), content);
    EXPECT_EQ(read_link_key(path("k")).ok(), good);
    std::filesystem::remove(path("k"));
  }
  const auto upper = [&] {
    write_private(path("k"), std::string(64, 'F') + "\r\n");
    return read_link_key(path("k"));
  }();
  ASSERT_TRUE(upper.ok());
  EXPECT_EQ((*upper)[0], 0xFF);
  EXPECT_FALSE(read_link_key(path("missing")).ok());
}

}  // namespace
}  // namespace kavri
