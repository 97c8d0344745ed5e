// kavri-sim run as a process, as a user or an attacker runs it: what it refuses to read, how it
// rests when it runs out of descriptors, and a driver that must still end, and save its
// settings, when the simulator freezes under it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/main_loop.h"
#include "simlink/endpoint_posix.h"
#include "testing/files.h"
#include "testing/process.h"
#include "testing/shell_test_rig.h"
#include "testing/stand_in_server.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::read_file;

class KavriSim : public ::testing::Test {
 protected:
  // kavri-sim in the background, its socket in this test's directory.
  std::unique_ptr<ChildProcess> start_sim() {
    return std::make_unique<ChildProcess>(std::vector<std::string>{KAVRI_SIM_PROGRAM}, options());
  }
  testing::ProcessOptions options() const {
    testing::ProcessOptions options;
    options.environment = {"XDG_RUNTIME_DIR=" + dir.path()};
    return options;
  }
  std::string socket() const { return dir.file("kavri/UIPCMAIN"); }

  // Waits (real time, bounded) until the simulator's socket takes connections.
  bool serving() const {
    for (auto give_up = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < give_up; std::this_thread::sleep_for(10ms)) {
      const int fd = connect_ipc_socket(socket());
      if (fd >= 0) {
        close(fd);
        return true;
      }
    }
    return false;
  }

  ScratchDirectory dir;
};

// The processor time process `pid` has used so far, in clock ticks.
long cpu_ticks(pid_t pid) {
  std::istringstream stat(read_file("/proc/" + std::to_string(pid) + "/stat"));
  std::string field;
  long ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i >= 14) ticks += std::stol(field);  // user time, then system time
  }
  return ticks;
}

TEST_F(KavriSim, RefusesAProfileThatIsNotARegularFile) {
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& profile : {fifo, std::string("/dev/zero"), dir.path()}) {
    const testing::ProcessResult run =
        testing::run_process({KAVRI_SIM_PROGRAM, "--profile", profile}, options(), 10s);
    EXPECT_EQ(run.exit_code, 1) << profile;
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << profile;
  }
}

// Out of descriptors, accept fails while the waiting clients keep the listener readable: the
// server must rest rather than spin, and serve again once descriptors are free.
TEST_F(KavriSim, RestsWhenItRunsOutOfDescriptorsAndServesAgainAfterwards) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitizer's own checks open descriptors (a pipe to probe memory): without any left it
  // reports an error and ends the program, so this runs in the plain build only.
  GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
  const std::unique_ptr<ChildProcess> sim = start_sim();
  const rlimit few{16, 16};
  ASSERT_EQ(prlimit(sim->pid(), RLIMIT_NOFILE, &few, nullptr), 0);
  ASSERT_TRUE(serving());
  std::vector<int> clients;
  ASSERT_TRUE(testing::StandInServer::fill_backlog(socket(), clients));
  std::this_thread::sleep_for(200ms);
  const long before = cpu_ticks(sim->pid());
  std::this_thread::sleep_for(1s);
  EXPECT_LT(cpu_ticks(sim->pid()) - before, sysconf(_SC_CLK_TCK) / 5) << "busy over a second";

  for (int fd : clients) close(fd);
  auto transport = make_posix_transport({dir.file("kavri")});
  FakeEnv env;
  IpcClient client(env, *transport);
  IpcResult result;
  bool open = false;
  for (int attempt = 0; attempt < 500 && !open; ++attempt) {
    open = client.ipc_open(0, result);
    if (!open) std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(open) << static_cast<int>(result);
}

TEST_F(KavriSim, EndsOnInterruptTerminateOrHangUpAndRemovesItsSocket) {
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(number);
    const std::unique_ptr<ChildProcess> sim = start_sim();
    ASSERT_TRUE(serving());
    sim->signal(number);
    EXPECT_EQ(sim->wait(3s), 0);
    EXPECT_NE(access(socket().c_str(), F_OK), 0) << "socket left behind";
  }
}

// Printed writes into a pipe nobody reads: the simulator drops lines instead of holding its
// clients, and still ends when asked.
TEST_F(KavriSim, PrintedWritesIntoAnUnreadPipeNeverStopServing) {
  const std::string fifo = dir.file("unread");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // holds it open, never reads
  testing::ProcessOptions unread = options();
  unread.out_file = fifo;
  ChildProcess sim({KAVRI_SIM_PROGRAM, "--print-writes"}, unread);
  ASSERT_TRUE(serving());
  auto transport = make_posix_transport({dir.file("kavri")});
  FakeEnv env;
  IpcClient client(env, *transport);
  IpcResult result;
  ASSERT_TRUE(client.ipc_open(0, result));
  const std::uint16_t value = 0;
  for (int block = 0; block < 200; ++block) {  // some 400 KiB of lines: the pipe holds 64
    for (int at = 0x4000; at < 0x4000 + 200; at += 2) client.ipc_write(at, 2, &value, result);
    ASSERT_TRUE(client.ipc_process(result)) << "block " << block;
  }
  sim.signal(SIGINT);
  EXPECT_EQ(sim.wait(3s), 0);
  close(reader);
}

// The simulator stops (SIGSTOP) while the driver exchanges with it, and its backlog fills as a
// frozen server's does: the driver's shutdown must still end at once and save the settings.
TEST_F(KavriSim, TheDriverEndsWithinThreeSecondsWhenTheSimulatorFreezes) {
  const std::unique_ptr<ChildProcess> sim = start_sim();
  ASSERT_TRUE(serving());
  testing::ShellRig rig;
  rig.transport = make_posix_transport({dir.file("kavri")});
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_TRUE(state);
  ASSERT_TRUE(testing::ShellRig::wait_for_exploration(*state));
  LoopEnd end;
  for (auto give_up = std::chrono::steady_clock::now() + 30s;
       !state->transfer_thread.joinable() && std::chrono::steady_clock::now() < give_up;) {
    run_pass(*state, std::nullopt, end);
  }
  ASSERT_TRUE(state->transfer_thread.joinable()) << "the link never came up";

  sim->signal(SIGSTOP);
  std::vector<int> waiting;
  EXPECT_TRUE(testing::StandInServer::fill_backlog(socket(), waiting));
  auto shutdown = std::async(std::launch::async, [&state] { shut_down(*state); });
  EXPECT_EQ(shutdown.wait_for(3s), std::future_status::ready);
  sim->signal(SIGCONT);  // lets a driver that still waits end, so the test can
  shutdown.get();
  for (int fd : waiting) close(fd);
  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 0\r\nmode_reduit = 0\r\n");
}

}  // namespace
}  // namespace kavri
