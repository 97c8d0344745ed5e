// The end-to-end tests start the programs this build makes; these must be those of the current
// sources, or a test would pass or fail on a stale binary.
#include <gtest/gtest.h>

#include "testing/files.h"
#include "testing/process.h"

namespace kavri {
namespace {

TEST(TestedPrograms, AreThoseOfTheCurrentSources) {
  for (const char* program :
       {KAVRI_PROGRAM, KAVRI_BENCH_PROGRAM, KAVRI_SIM_PROGRAM, KAVRI_GAUGE_PROGRAM,
        KAVRI_FGFS_PROGRAM, KAVRI_XPLANE_PROGRAM, KAVRI_RELAY_PROGRAM}) {
    EXPECT_TRUE(testing::file_exists(program)) << program;
  }
  // A dry run of the build of the programs finds nothing to do.
  const auto dry_run = testing::run_process(
      {KAVRI_BUILD_COMMAND, "--build", KAVRI_BUILD_DIR, "--target", "kavri", "kavri-bench",
       "kavri-sim", "kavri-gauge", "kavri-fgfs", "kavri-xplane", "kavri-relay", "--", "-n"});
  EXPECT_EQ(dry_run.exit_code, 0) << dry_run.err;
  EXPECT_NE(dry_run.out.find("no work to do"), std::string::npos) << dry_run.out;
}

}  // namespace
}  // namespace kavri
