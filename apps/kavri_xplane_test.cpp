// kavri-xplane run whole against the stand-in X-Plane of testing/: the driver, on the demo
// Cessna 172 panel, must put each needle where kavri-gauge puts the values kavri-xplane says
// it received, its throttle lever must reach X-Plane as a DREF, and a restarted X-Plane must
// be subscribed again and bring the link back.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bridges/xplane_map.h"
#include "testing/files.h"
#include "testing/panel_positions.h"
#include "testing/process.h"
#include "testing/xplane_stand_in.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::read_file;

const std::string DEMO = KAVRI_SOURCE_DIR "/bridges/demo/";

bool wait_until(const std::function<bool()>& done, Clock::duration limit = 30s) {
  const auto give_up = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > give_up) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// X-Plane's state number `k` for the datarefs the demo panel shows.
void fly_state(testing::XplaneStandIn& xplane, int state) {
  const auto k = static_cast<float>(state);
  const std::string gauges = "sim/cockpit2/gauges/indicators/", engine = "sim/cockpit2/engine/";
  const std::vector<std::pair<std::string, float>> values{
      {gauges + "airspeed_kts_pilot", 60.0f + 2.0f * k},
      {gauges + "vvi_fpm_pilot", -500.0f + 50.0f * k},
      {gauges + "compass_heading_deg_mag", 10.0f + 15.0f * k},
      {"sim/flightmodel/position/elevation", 300.0f + 10.0f * k},
      {"sim/cockpit2/temperature/outside_air_temp_degc", 15.0f - 0.5f * k},
      {engine + "indicators/engine_speed_rpm[0]", 1800.0f + 30.0f * k},
      {engine + "indicators/MPR_in_hg[0]", 18.0f + 0.4f * k},
      {engine + "indicators/oil_temperature_deg_C[0]", 60.0f + 2.0f * k},
      {engine + "indicators/oil_pressure_psi[0]", 40.0f + 1.0f * k},
      {"sim/cockpit2/fuel/fuel_quantity[0]", 70.0f - 1.0f * k},
      {"sim/cockpit2/fuel/fuel_quantity[1]", 60.0f - 1.0f * k},
      {"sim/cockpit2/electrical/battery_on[0]", 1.0f},
      {"sim/cockpit2/radios/indicators/nav1_flag_glideslope", static_cast<float>(state % 2)},
  };
  for (const auto& [name, value] : values) xplane.set(name, value);
}

TEST(KavriXplane, DrivesThePanelSendsTheThrottleAndResubscribesARestartedXplane) {
  ScratchDirectory dir;
  std::string panel = read_file(DEMO + "c172-panel.ini");
  const std::string lever = "analog_value = 13926";
  ASSERT_NE(panel.find(lever), std::string::npos);
  panel.replace(panel.find(lever), lever.size(), "analog_value = 8192");  // half throttle
  testing::write_file(dir.file("bus.ini"), panel);
  testing::write_file(dir.file("Calibrage.ini"), read_file(DEMO + "c172-calibration.ini"));
  std::string error;
  const auto modules = load_bench_modules(dir.file("bus.ini"), error);
  ASSERT_TRUE(modules) << error;

  testing::XplaneStandIn xplane;
  ASSERT_TRUE(xplane.start());
  fly_state(xplane, 0);
  const auto start = [&](const std::vector<std::string>& argv, const std::string& name) {
    return std::make_unique<testing::ChildProcess>(
        argv, testing::ProcessOptions{dir.path(),
                                      {"XDG_RUNTIME_DIR=" + dir.path()},
                                      {"DISPLAY"},
                                      dir.file(name + "-out.txt"),
                                      dir.file(name + "-err.txt")});
  };
  const auto bridge_news = [&] { return read_file(dir.file("xplane-err.txt")); };
  auto bridge = start({KAVRI_XPLANE_PROGRAM, "--print", "--listen", "127.0.0.1:0", "--xplane",
                       "127.0.0.1:" + std::to_string(xplane.port()), "--rate", "50"},
                      "xplane");
  const auto bench = start({KAVRI_BENCH_PROGRAM, "--headless", "--no-sim", "--modules", "bus.ini",
                            "--trace", "trace.txt", "--run-for", "60"},
                           "bench");
  ASSERT_TRUE(wait_until([&] {
    return testing::reported(read_file(dir.file("trace.txt")), {})
        .count({modules->back().address, 1});
  })) << bridge_news();
  for (int k = 1; k <= 20; ++k) {
    fly_state(xplane, k);
    std::this_thread::sleep_for(100ms);
  }

  xplane.stop();
  EXPECT_TRUE(wait_until([&] { return count_of(bridge_news(), "no answer from X-Plane") == 1; }));
  const std::size_t before_restart = xplane.requests().size();
  ASSERT_TRUE(xplane.start(xplane.port()));
  fly_state(xplane, 21);
  EXPECT_TRUE(wait_until([&] { return count_of(bridge_news(), "answers are arriving") == 2; }))
      << bridge_news();
  EXPECT_GT(xplane.requests().size(), before_restart);
  std::this_thread::sleep_for(1500ms);

  bench->signal(SIGTERM);
  bench->wait(30s);
  bridge->signal(SIGTERM);
  EXPECT_EQ(bridge->wait(30s), 0) << bridge_news();
  EXPECT_EQ(xplane.subscriptions(), 0u) << "every line unsubscribed at the end";

  // The lever's 8192 of 16384 from the first DREF on, across the restart too: nothing goes to
  // the throttle before the lever's module has answered the driver.
  const std::string throttle = "sim/cockpit2/engine/actuators/throttle_ratio[0]";
  EXPECT_EQ(xplane.value(throttle), 0.5f);
  for (const auto& [name, value] : xplane.drefs()) {
    EXPECT_TRUE(name == throttle || name.find("prop_ratio") != std::string::npos ||
                name.find("mixture_ratio") != std::string::npos)
        << name;
    EXPECT_TRUE(name != throttle || value == 0.5f) << value;
  }

  std::vector<std::string> printed;
  std::istringstream out(read_file(dir.file("xplane-out.txt")));
  for (std::string line; std::getline(out, line);) printed.push_back(line);
  ASSERT_GT(printed.size(), 100u);
  EXPECT_EQ(testing::expect_needles_follow(
                *modules, printed, read_file(dir.file("trace.txt")),
                {KAVRI_GAUGE_PROGRAM, DEMO + "c172-calibration.ini", dir.path()}),
            11);
}

TEST(KavriXplane, MisusesExitWith2AndABadMapNamesItsLine) {
  ScratchDirectory dir;
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), KAVRI_XPLANE_PROGRAM);
    return testing::run_process(args, {dir.path(), {}, {}}, 20s);
  };
  const std::vector<std::vector<std::string>> misuses{{"--bogus"},
                                                      {"--rate", "0"},
                                                      {"--rate", "101"},
                                                      {"--xplane", "x"},
                                                      {"--listen", ":49010"},
                                                      {"--find", "--xplane", "127.0.0.1:49000"},
                                                      {"--run-for", "-1"},
                                                      {"--map"}};
  for (const auto& args : misuses) {
    const auto result = run(args);
    EXPECT_EQ(result.exit_code, 2) << args[0];
    EXPECT_TRUE(result.err.starts_with("usage: kavri-xplane")) << result.err;
  }
  testing::write_file(dir.file("panel.map"), "0x02BC 4 int sim/a 128 0 read\n0x02BE 2 int " +
                                                 std::string(400, 'x') + " 1 0 read\n");
  const auto result = run({"--map", "panel.map"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err,
            "kavri-xplane: panel.map:2: dataref of 400 characters: X-Plane's "
            "requests hold 399\n");
}

}  // namespace
}  // namespace kavri
