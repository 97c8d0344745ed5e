// Every program answers "--help" and "--version" alone on standard output with exit code 0, and
// a command line it cannot read with its usage on standard error and exit code 2, with no
// display, no card and no file touched.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/program_version.h"
#include "testing/files.h"
#include "testing/process.h"

namespace kavri {
namespace {

using Args = std::vector<std::string>;

struct Program {
  std::string path, name;
  Args misuse;  // a command line it refuses
};

class StandardOptions : public ::testing::Test {
 protected:
  // Runs the program in the scratch directory, with no display.
  testing::ProcessResult run(const std::string& path, Args args) {
    args.insert(args.begin(), path);
    return testing::run_process(args, {dir.path(), {"XDG_RUNTIME_DIR=" + dir.path()}, {"DISPLAY"}});
  }

  ScratchDirectory dir;
};

TEST_F(StandardOptions, EveryProgramAnswersHelpAndVersionAndRefusesMisuse) {
  const std::vector<Program> programs{
      {KAVRI_PROGRAM, "kavri", {"--version", "--help"}},  // the driver takes nothing else
      {KAVRI_BENCH_PROGRAM, "kavri-bench", {"--headless", "--help"}},
      {KAVRI_SIM_PROGRAM, "kavri-sim", {"--run-for", "soon"}},
      {KAVRI_GAUGE_PROGRAM, "kavri-gauge", {"--gauge"}},
      {KAVRI_FGFS_PROGRAM, "kavri-fgfs", {"--listen", "nowhere"}},
      {KAVRI_XPLANE_PROGRAM, "kavri-xplane", {"--rate", "fast"}},
      // Without a key file the relay does not start.
      {KAVRI_RELAY_PROGRAM, "kavri-relay", {"--serve", "127.0.0.1:0"}}};
  for (const Program& program : programs) {
    SCOPED_TRACE(program.name);
    const auto help = run(program.path, {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(help.out.starts_with("usage: " + program.name + " ")) << help.out;
    EXPECT_EQ(help.out.find('{'), std::string::npos) << help.out;  // every place named
    EXPECT_EQ(help.err, "");

    const auto version = run(program.path, {"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, program.name + " " + PROGRAM_VERSION + "\n");
    EXPECT_EQ(version.err, "");

    const auto misuse = run(program.path, program.misuse);
    EXPECT_EQ(misuse.exit_code, 2);
    EXPECT_EQ(misuse.out, "");
    EXPECT_EQ(misuse.err, help.out);
  }
  EXPECT_EQ(dir.file_count(), 0u);
}

// An answer that cannot be written is not given: exit code 1, not 0.
TEST_F(StandardOptions, AnswerToAFullOutputFails) {
  testing::ChildProcess child({KAVRI_GAUGE_PROGRAM, "--help"}, {dir.path(), {}, {}, "/dev/full"});
  EXPECT_EQ(child.wait(std::chrono::seconds(30)), 1);
}

// With no argument the driver reads no command line and goes for its windows as it always did.
TEST_F(StandardOptions, DriverWithoutArgumentsStartsAsBefore) {
  const auto plain = run(KAVRI_PROGRAM, {});
  EXPECT_EQ(plain.exit_code, 1);
  EXPECT_EQ(plain.err, "kavri: no display to open the windows on\n");
}

}  // namespace
}  // namespace kavri
