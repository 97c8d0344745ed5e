// Where the POSIX lock lives, and what happens when its place has been tampered with: the lock
// is in a folder of the user's own, and a lock that cannot be taken is said, never skipped.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "shell/driver.h"
#include "shell/driver_lock.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

// Sets (or, with nullopt, removes) an environment variable for the scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

mode_t mode_of(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

TEST(DriverLockPosix, WithoutARuntimeFolderTheLockIsInAFolderOfTheUsersOwn) {
  const ScratchDirectory home;
  const ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  const ScopedVariable home_variable("HOME", home.path());
  const LockAttempt attempt = take_driver_lock("card-test");
  ASSERT_TRUE(attempt.lock) << attempt.failure;
  EXPECT_TRUE(std::filesystem::is_regular_file(home.file(".cache/kavri/card-test.lock")));
  EXPECT_EQ(mode_of(home.file(".cache/kavri")), 0700u);
  EXPECT_FALSE(take_driver_lock("card-test").lock);
}

// Whatever another user (or a mistake) put where the lock goes: no lock, and the reason.
TEST(DriverLockPosix, ALockPlaceTamperedWithIsRefusedWithTheReason) {
  const bool root = ::geteuid() == 0;  // only root can give a file to another user
  const struct {
    const char* what;
    bool needs_root;
    std::function<void(const std::string& folder)> plant;
  } cases[] = {
      {"the folder is a link", false,
       [](const std::string& folder) {
         std::filesystem::create_directory(folder + "-elsewhere");
         std::filesystem::create_directory_symlink(folder + "-elsewhere", folder);
       }},
      {"the folder is another user's", true,
       [](const std::string& folder) {
         std::filesystem::create_directory(folder);
         ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
       }},
      {"a folder at the lock's place", false,
       [](const std::string& folder) {
         std::filesystem::create_directories(folder + "/card-test.lock");
       }},
      {"a link at the lock's place", false,
       [](const std::string& folder) {
         std::filesystem::create_directory(folder);
         std::filesystem::create_symlink(folder + "/elsewhere", folder + "/card-test.lock");
       }},
      {"another user's file at the lock's place", true,
       [](const std::string& folder) {
         std::filesystem::create_directory(folder);
         testing::write_file(folder + "/card-test.lock", "");
         ASSERT_EQ(::chown((folder + "/card-test.lock").c_str(), 65534, 65534), 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needs_root && !root) continue;
    const ScratchDirectory runtime;
    const ScopedVariable runtime_variable("XDG_RUNTIME_DIR", runtime.path());
    c.plant(runtime.file("kavri"));
    const LockAttempt attempt = take_driver_lock("card-test");
    EXPECT_FALSE(attempt.lock);
    EXPECT_NE(attempt.failure, "");
  }

  // The driver says so and ends as when another driver holds the lock.
  const ScratchDirectory runtime;
  const ScopedVariable runtime_variable("XDG_RUNTIME_DIR", runtime.path());
  std::filesystem::create_directories(runtime.file("kavri/card-test.lock"));
  testing::ShellRig rig;
  DriverPorts ports = rig.ports();
  ports.card_lock = "card-test";
  EXPECT_EQ(exit_code_of(run_driver(ports)), 1);
  ASSERT_EQ(rig.ui.messages().size(), 1u);
  EXPECT_NE(rig.ui.messages()[0].second.find("Je ne peux pas m'assurer"), std::string::npos);
  EXPECT_TRUE(rig.card.received().empty());
}

}  // namespace
}  // namespace kavri
