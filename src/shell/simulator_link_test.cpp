#include "shell/simulator_link.h"

#include <gtest/gtest.h>

#include <vector>

#include "testing/files.h"

namespace kavri {
namespace {

TEST(SimulatorLink, TakesExactlyTheLinkAndItsKeyFile) {
  using Args = std::vector<std::string_view>;
  const auto both = parse_link_options(Args{"--key-file", "k.key", "--link", "sim:9017"});
  ASSERT_TRUE(both);
  EXPECT_EQ(both->relay, "sim:9017");
  EXPECT_EQ(both->key_file, "k.key");
  for (const Args& bad :
       {Args{"--link", "sim:9017"}, Args{"--link", "sim", "--key-file", "k"},
        Args{"--link", "a:1", "--link", "b:2"}, Args{"--link", "a:1", "--key-file", ""},
        Args{"--link", "a:1", "--key-file", "k", "--key-file", "k"}}) {
    EXPECT_FALSE(parse_link_options(bad)) << bad[0];
  }
}

TEST(SimulatorLink, AKeyFileThatCannotBeReadIsRefusedWithItsReason) {
  ScratchDirectory dir;
  testing::write_file(dir.file("short.key"), "too short");
  for (const std::string& key_file : {dir.file("missing.key"), dir.file("short.key")}) {
    const auto link = make_simulator_link({"127.0.0.1:9017", key_file});
    EXPECT_FALSE(link) << key_file;
  }
  EXPECT_FALSE(make_simulator_link({"127.0.0.1:9017", ""}));
  EXPECT_TRUE(make_simulator_link({}));  // the local link
}

}  // namespace
}  // namespace kavri
