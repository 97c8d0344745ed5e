// One driver per card: the platform's lock, and the driver's start when another holds it.
#include "shell/driver_lock.h"

#include <gtest/gtest.h>

#include "shell/driver.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

TEST(DriverLock, IsHeldOncePerNameUntilItsHolderLetsGo) {
  const ScratchDirectory dir;  // a name no other run uses
  const std::string name = bench_lock_name(dir.file("bus.ini"));
  LockAttempt first = take_driver_lock(name);
  ASSERT_TRUE(first.lock) << first.failure;
  const LockAttempt second = take_driver_lock(name);  // even in the same process
  EXPECT_FALSE(second.lock);
  EXPECT_EQ(second.failure, "") << "held: no failure of the system";
  EXPECT_TRUE(take_driver_lock(name + "-other").lock);
  first.lock.reset();
  EXPECT_TRUE(take_driver_lock(name).lock);
  EXPECT_EQ(bench_lock_name("a.ini"), bench_lock_name("./a.ini"));
  EXPECT_NE(bench_lock_name("a.ini"), bench_lock_name("b.ini"));
}

TEST(DriverLock, ASecondDriverOnTheCardSaysSoAndTouchesNothing) {
  testing::ShellRig rig;
  DriverPorts ports = rig.ports();
  ports.card_lock = bench_lock_name(rig.file("bus.ini"));
  const LockAttempt running = take_driver_lock(ports.card_lock);
  ASSERT_TRUE(running.lock);
  EXPECT_EQ(exit_code_of(run_driver(ports)), 1) << "scripts see the refusal";
  ASSERT_EQ(rig.ui.messages().size(), 1u);
  EXPECT_EQ(rig.ui.messages()[0].second, "Le pilote Kavri tourne déjà pour cette carte");
  EXPECT_TRUE(rig.card.received().empty());
  EXPECT_FALSE(testing::file_exists(rig.file("Kavri.ini")));
}

}  // namespace
}  // namespace kavri
