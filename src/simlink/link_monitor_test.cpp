#include "simlink/link_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simlink/ipc_transport.h"
#include "simlink/posix_transport.h"
#include "testing/fake_env.h"
#include "testing/files.h"
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
  ASSERT_TRUE(sim->start()) << sim->error();
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

  ASSERT_TRUE(sim->start()) << sim->error();
  monitor.turn();
  EXPECT_EQ(take_labels(), LINK_DOWN);
  EXPECT_TRUE(link_up.load());
  EXPECT_TRUE(client.is_open());
}

TEST_F(LinkMonitorTest, RunsOnItsThreadBesideAnotherBatchUserAndStopsWhenAsked) {
  ASSERT_TRUE(sim->start()) << sim->error();
  Worker worker = env.start_thread([this](std::stop_token stop) { monitor.run(stop); });
  // A second user of the client, as the transfer thread is, with batches of its own.
  Worker batches = env.start_thread([this](std::stop_token stop) {
    std::uint16_t value = 0;
    while (!stop.stop_requested()) {
      IpcResult result;
      auto batch = client.lock_batch();
      if (client.ipc_read(0x0BC0, 2, &value, result)) client.ipc_process(result);
    }
  });
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

}  // namespace
}  // namespace kavri
