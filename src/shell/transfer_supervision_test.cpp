// The main loop's supervision of the transfer thread against the link-up flag: the thread runs
// exactly while the link is up, is stopped and waited for when it drops, and every start is
// followed by a reload of the calibration tables from the file, on the transfer thread.
#include <gtest/gtest.h>

#include <filesystem>

#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "testing/client_writes.h"
#include "testing/eventually.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

using testing::module_at;
using testing::ShellRig;
using testing::write_file;

TEST(TransferSupervision, FollowsTheLinkFlagAndReloadsTheCalibrationBeforeEachStart) {
  // Module 0: gauge 1 fuel (18), gauge 2 suction (12); module 1 has no calibrated gauge.
  ShellRig rig({module_at(12, 18, 12), module_at(20, 14)});
  write_file(rig.file("Calibrage.ini"),
             "[Essence]\r\nPos100A12S0 = 200\r\n[suction]\r\nPos5A12S1 = 90\r\n"
             "[OAT_NL]\r\nPos50A20S0 = 70\r\n");
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  ASSERT_TRUE(ShellRig::wait_for_exploration(*state));
  state->posts.apply_all(rig.ui);
  state->card_session.bus_explored = true;  // as the loop's exploration-over step sets it

  const auto& fuel = state->calibration.fuel_calibration[0];
  const auto& suction = state->calibration.suction_calibration[0];
  const auto& oat = state->calibration.oat_calibration[1];
  supervise_transfer(*state);  // link down: nothing starts, nothing loads
  EXPECT_FALSE(state->transfer_thread.joinable());
  EXPECT_EQ(fuel[2 * 4 + 0].load(), 0);
  EXPECT_EQ(rig.ui.text(MainControl::status_label), "Idle");

  state->link_up = true;
  supervise_transfer(*state);
  EXPECT_TRUE(state->transfer_thread.joinable());
  // Read again by the transfer thread, first thing.
  EXPECT_TRUE(testing::eventually([&] { return fuel[2 * 4 + 0].load() == 200; }));
  EXPECT_EQ(fuel[2 * 4 + 0].load(), 200);    // Pos100A, gauge 1
  EXPECT_EQ(suction[2 * 3 + 1].load(), 90);  // Pos5A, gauge 2
  EXPECT_EQ(oat[2 * 6 + 0].load(), 70);      // Pos50A, gauge 1 of module 1
  EXPECT_EQ(rig.ui.text(MainControl::status_label), "Connecté");
  EXPECT_EQ(rig.ui.control(MainControl::status_label)->background, (Rgb{0, 255, 0}));

  const int threads = rig.env.threads_started();
  supervise_transfer(*state);  // still up and running: no second thread
  EXPECT_EQ(rig.env.threads_started(), threads);

  state->link_up = false;
  supervise_transfer(*state);
  EXPECT_FALSE(state->transfer_thread.joinable());                // stopped and waited for
  EXPECT_EQ(rig.ui.text(MainControl::status_label), "Connecté");  // the link monitor's to change

  write_file(rig.file("Calibrage.ini"), "[Essence]\r\nPos100A12S0 = 150\r\n");
  state->link_up = true;
  supervise_transfer(*state);
  EXPECT_TRUE(state->transfer_thread.joinable());
  EXPECT_EQ(rig.env.threads_started(), threads + 1);
  EXPECT_TRUE(testing::eventually([&] { return fuel[2 * 4 + 0].load() == 150; }));
  EXPECT_EQ(suction[2 * 3 + 1].load(), 0);  // gone from the file, gone from the table

  // Something that cannot be read where the file should be: left as it is, told once.
  std::filesystem::remove(rig.file("Calibrage.ini"));
  std::filesystem::create_directory(rig.file("Calibrage.ini"));
  for (int link_up = 0; link_up < 2; ++link_up) {
    state->link_up = false;
    supervise_transfer(*state);
    state->link_up = true;
    supervise_transfer(*state);
    EXPECT_TRUE(state->transfer_thread.joinable());
    // The main loop tells of it, from the transfer thread's post.
    EXPECT_TRUE(testing::eventually([&] {
      state->posts.apply_all(rig.ui);
      return !rig.ui.messages().empty();
    }));
  }
  EXPECT_EQ(fuel[2 * 4 + 0].load(), 0);
  ASSERT_EQ(rig.ui.messages().size(), 1u);
  EXPECT_EQ(rig.ui.messages()[0].second,
            "Je ne peux pas lire le fichier " + rig.file("Calibrage.ini") +
                " : il est laissé tel quel et les points de calibrage valent 0.");
  EXPECT_TRUE(std::filesystem::is_directory(rig.file("Calibrage.ini")));

  shut_down(*state);
  EXPECT_FALSE(state->transfer_thread.joinable());
}

// The lever's value reaches the simulator only once its module has answered since the link
// came up: at the driver's start neither the 0 the value starts with, and after the link's
// return not the value from before, is written first.
TEST(TransferSupervision, ALeverIsWrittenOnlyOnceItsModuleAnsweredSinceTheLinkCameUp) {
  constexpr std::uint16_t kThrottle = 0x088C;
  testing::ClientWrites writes;
  ShellRig rig({testing::with_lever(testing::module_at(12), kThrottle, 8192)});
  rig.serve_simulator(writes.observer());
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  ASSERT_TRUE(ShellRig::wait_for_exploration(*state));
  state->posts.apply_all(rig.ui);
  state->card_session.bus_explored = true;
  IpcResult result;
  ASSERT_TRUE(state->ipc.ipc_open(0, result));

  for (const int lever : {8192, 4096}) {  // moved while the link was down
    SCOPED_TRACE(lever);
    rig.card.set_analog_value(0, static_cast<std::uint16_t>(lever));
    state->link_up = true;
    supervise_transfer(*state);
    ASSERT_TRUE(testing::eventually([&] { return writes.values_at(kThrottle).size() >= 2; }));
    for (const std::uint64_t value : writes.values_at(kThrottle)) {
      EXPECT_EQ(value, static_cast<std::uint64_t>(lever));
    }
    state->link_up = false;
    supervise_transfer(*state);
    writes.clear();
  }
  shut_down(*state);
}

// A system out of threads refuses one of the three workers (started in this order:
// exploration, link monitor, transfer): the driver goes on and starts it a second later.
TEST(TransferSupervision, AWorkerTheSystemRefusesIsStartedAgainLater) {
  for (const int refused : {1, 2, 3}) {
    SCOPED_TRACE(refused);
    ShellRig rig;
    rig.serve_simulator();
    rig.env.refuse_start(refused);
    std::unique_ptr<AppState> state = start_up(rig.ports());
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(ShellRig::pass_until(*state, [&] {
      return state->link_monitor_thread.joinable() && state->transfer_thread.joinable();
    }));
    shut_down(*state);
  }
}

}  // namespace
}  // namespace kavri
