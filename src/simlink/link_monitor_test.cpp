#include "simlink/link_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simlink/ipc_transport.h"
#include "simlink/transport_posix.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "testing/result_checks.h"
#include "testing/stand_in_server.h"
#include "virtual/simulator/virtual_simulator.h"

namespace kavri {
namespace {

class LinkMonitorTest : public ::testing::Test {
 protected:
  LinkMonitorTest() {
    SimOptions options;
    options.directory = scratch.path();
    options.fly = false;
    sim = std::make_unique<VirtualSimulator>(env, options);
  }

  // Batches of another user of the client, as the transfer thread's, until `stop`.
  void run_batches(std::stop_token stop) {
    std::uint16_t value = 0;
    while (!stop.stop_requested()) {
      IpcResult result;
      const auto batch = client.lock_batch(stop);
      if (batch && client.ipc_read(0x0BC0, 2, &value, result)) client.ipc_process(result, stop);
    }
  }

  // The labels shown since the last call, as "text r,g,b".
  std::vector<std::string> take_labels() {
    std::lock_guard lock(mutex);
    return std::exchange(labels, {});
  }

  FakeEnv env;
  ScratchDirectory scratch;
  std::unique_ptr<VirtualSimulator> sim;
  std::unique_ptr<IpcTransport> transport = make_posix_transport({scratch.path()});
  IpcClient client{env, *transport};
  std::atomic<bool> link_up{false};
  std::mutex mutex;
  std::vector<std::string> labels;
  LinkMonitor monitor{env, client, link_up, [this](const LinkLabel& label) {
                        std::lock_guard lock(mutex);
                        labels.push_back(label.text + " " + std::to_string(label.r) + "," +
                                         std::to_string(label.g) + "," + std::to_string(label.b));
                      }};
};

const std::vector<std::string> LINK_DOWN = {"Déconnecter 255,0,0", "Déconnecté 255,0,0"};

TEST_F(LinkMonitorTest, FollowsAServerThatDiesAndComesBack) {
  ASSERT_TRUE(succeeded(sim->start()));
  monitor.turn();  // the link starts closed: both failures show, then it opens
  EXPECT_EQ(take_labels(), LINK_DOWN);
  EXPECT_TRUE(link_up.load());

  monitor.turn();
  EXPECT_TRUE(take_labels().empty());
  EXPECT_TRUE(link_up.load());

  sim->stop();
  monitor.turn();  // the test exchange fails, the link closes, the reopen finds no server
  EXPECT_EQ(take_labels(), std::vector<std::string>{"Déconnecté 255,0,0"});
  EXPECT_FALSE(link_up.load());
  EXPECT_FALSE(client.is_open());

  monitor.turn();
  EXPECT_EQ(take_labels(), LINK_DOWN);
  EXPECT_FALSE(link_up.load());

  ASSERT_TRUE(succeeded(sim->start()));
  monitor.turn();
  EXPECT_EQ(take_labels(), LINK_DOWN);
  EXPECT_TRUE(link_up.load());
  EXPECT_TRUE(client.is_open());
}

TEST_F(LinkMonitorTest, RunsOnItsThreadBesideAnotherBatchUserAndStopsWhenAsked) {
  ASSERT_TRUE(succeeded(sim->start()));
  Worker worker = env.start_thread([this](std::stop_token stop) { monitor.run(stop); });
  Worker batches = env.start_thread([this](std::stop_token stop) { run_batches(stop); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!link_up.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(link_up.load());
  batches.stop_and_join();
  worker.stop_and_join();
  const std::vector<std::int64_t> sleeps = env.sleeps();
  ASSERT_FALSE(sleeps.empty());
  EXPECT_EQ(sleeps.back(), 100);  // turns 1,000 ms apart, in slices that watch for a lost link
}

// Servers that never answer, each in its own way. Whatever they do, a stop must end the monitor
// and a batch of another thread at once: the driver's shutdown waits for both.
TEST_F(LinkMonitorTest, AStopEndsItAndAnotherThreadsBatchAtOnceWhateverTheServerDoes) {
  using testing::StandInServer;
  const std::pair<const char*, std::function<Worker(StandInServer&)>> servers[] = {
      {"frozen, its backlog full",
       [](StandInServer& server) {
         EXPECT_TRUE(server.fill_backlog());
         return Worker();
       }},
      {"accepts and never reads",
       [this](StandInServer& server) {
         return env.start_thread([&server](std::stop_token stop) {
           std::vector<int> held;
           for (int fd; !stop.stop_requested() && (fd = server.accept_client()) >= 0;) {
             held.push_back(fd);
           }
           for (int fd : held) close(fd);
         });
       }},
      {"floods replies to no request",
       [this](StandInServer& server) {
         return env.start_thread([&server](std::stop_token stop) {
           const int fd = server.accept_client();
           const std::uint8_t stale[8] = {0, 0, 0, 0, 1, 0, 0, 0};  // number 0, never sent
           while (fd >= 0 && !stop.stop_requested()) {
             if (send(fd, stale, sizeof stale, MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
               std::this_thread::sleep_for(std::chrono::milliseconds(1));
             }
           }
           if (fd >= 0) close(fd);
         });
       }},
  };
  for (const auto& [what, misbehave] : servers) {
    StandInServer server(scratch.path());
    ASSERT_TRUE(server.listening());
    Worker stand_in = misbehave(server);
    Worker turns = env.start_thread([this](std::stop_token stop) { monitor.run(stop); });
    Worker batches = env.start_thread([this](std::stop_token stop) { run_batches(stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // both into their waits
    auto stopped = std::async(std::launch::async, [&] {
      turns.request_stop();
      batches.request_stop();
      turns.stop_and_join();
      batches.stop_and_join();
    });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(1)), std::future_status::ready) << what;
    server.close_all();  // lets go of a thread that is still waiting, so the test can end
    stopped.get();
    stand_in.stop_and_join();
    client.ipc_close();
  }
}

}  // namespace
}  // namespace kavri
