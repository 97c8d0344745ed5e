// kavri-xplane run whole against the stand-in X-Plane of testing/: the driver, on the demo
// Cessna 172 panel, must put each needle where kavri-gauge puts the values kavri-xplane says
// it received, its throttle lever must reach X-Plane as a DREF, and a restarted X-Plane must
// be subscribed again and bring the link back.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bridges/udp_socket.h"
#include "bridges/xplane_datagrams.h"
#include "bridges/xplane_map.h"
#include "testing/files.h"
#include "testing/network_namespaces.h"
#include "testing/panel_positions.h"
#include "testing/process.h"
#include "testing/result_checks.h"
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
      // Beyond the CDI's byte (-152 at 50.8 a dot): in every answer, beside the airspeed.
      {"sim/cockpit2/radios/indicators/nav1_hdef_dots_pilot", -3.0f},
  };
  for (const auto& [name, value] : values) xplane.set(name, value);
}

// The demo panel in `dir`, its throttle lever at half: its modules.
std::vector<VirtualModule> half_throttle_panel(const ScratchDirectory& dir) {
  std::string panel = read_file(DEMO + "c172-panel.ini");
  const std::string lever = "analog_value = 13926";
  EXPECT_NE(panel.find(lever), std::string::npos);
  panel.replace(panel.find(lever), lever.size(), "analog_value = 8192");  // half throttle
  testing::write_file(dir.file("bus.ini"), panel);
  testing::write_file(dir.file("Calibrage.ini"), read_file(DEMO + "c172-calibration.ini"));
  const auto modules = load_bench_modules(dir.file("bus.ini"));
  EXPECT_TRUE(succeeded(modules));
  return modules ? *modules : std::vector<VirtualModule>{};
}

// `argv` started in `dir`, its outputs in NAME-out.txt and NAME-err.txt.
std::unique_ptr<testing::ChildProcess> start_in(const ScratchDirectory& dir,
                                                const std::vector<std::string>& argv,
                                                const std::string& name) {
  return std::make_unique<testing::ChildProcess>(
      argv, testing::ProcessOptions{dir.path(),
                                    {"XDG_RUNTIME_DIR=" + dir.path()},
                                    {"DISPLAY"},
                                    dir.file(name + "-out.txt"),
                                    dir.file(name + "-err.txt")});
}

const std::vector<std::string> BENCH_ARGV{KAVRI_BENCH_PROGRAM, "--headless", "--no-sim",
                                          "--modules",         "bus.ini",    "--trace",
                                          "trace.txt",         "--run-for",  "60"};

// True once the bench's trace shows the panel's last module driven.
bool panel_driven(const ScratchDirectory& dir, const std::vector<VirtualModule>& modules) {
  return testing::reported(read_file(dir.file("trace.txt")), {})
             .count({modules.back().address, 1}) > 0;
}

// Each needle of the run against kavri-gauge's positions for the values the bridge printed:
// the number of gauges compared.
int needles_following_the_bridge(const ScratchDirectory& dir,
                                 const std::vector<VirtualModule>& modules) {
  std::vector<std::string> printed;
  std::istringstream out(read_file(dir.file("xplane-out.txt")));
  for (std::string line; std::getline(out, line);) printed.push_back(line);
  EXPECT_GT(printed.size(), 100u);
  return testing::expect_needles_follow(
      modules, printed, read_file(dir.file("trace.txt")),
      {KAVRI_GAUGE_PROGRAM, DEMO + "c172-calibration.ini", dir.path()});
}

// The bench stopped, then the bridge: the bridge's exit code.
int stop_bench_then_bridge(testing::ChildProcess& bench, testing::ChildProcess& bridge) {
  bench.signal(SIGTERM);
  bench.wait(30s);
  bridge.signal(SIGTERM);
  return bridge.wait(30s);
}

const std::string THROTTLE = "sim/cockpit2/engine/actuators/throttle_ratio[0]";

// The lever's 8192 of 16384 in every throttle DREF, the first one too: nothing goes to the
// throttle before the lever's module has answered the driver (no idle at the connection).
void expect_throttle_only_at_half(const testing::XplaneStandIn& xplane) {
  EXPECT_EQ(xplane.value(THROTTLE), 0.5f);
  for (const auto& [name, value] : xplane.drefs()) {
    EXPECT_TRUE(name != THROTTLE || value == 0.5f) << "throttle DREF " << value;
  }
}

TEST(KavriXplane, DrivesThePanelSendsTheThrottleAndResubscribesARestartedXplane) {
  ScratchDirectory dir;
  const auto modules = half_throttle_panel(dir);
  ASSERT_FALSE(modules.empty());
  testing::XplaneStandIn xplane;
  ASSERT_TRUE(xplane.start());
  fly_state(xplane, 0);
  const auto bridge_news = [&] { return read_file(dir.file("xplane-err.txt")); };
  auto bridge = start_in(dir,
                         {KAVRI_XPLANE_PROGRAM, "--print", "--listen", "127.0.0.1:0", "--xplane",
                          "127.0.0.1:" + std::to_string(xplane.port()), "--rate", "50"},
                         "xplane");
  const auto bench = start_in(dir, BENCH_ARGV, "bench");
  ASSERT_TRUE(wait_until([&] { return panel_driven(dir, modules); })) << bridge_news();
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

  EXPECT_EQ(stop_bench_then_bridge(*bench, *bridge), 0) << bridge_news();
  EXPECT_EQ(xplane.subscriptions(), 0u) << "every line unsubscribed at the end";

  expect_throttle_only_at_half(xplane);  // across the restart too
  for (const auto& [name, value] : xplane.drefs()) {
    EXPECT_TRUE(name == THROTTLE || name.find("prop_ratio") != std::string::npos ||
                name.find("mixture_ratio") != std::string::npos)
        << name;
  }
  EXPECT_EQ(needles_following_the_bridge(dir, modules), 11);
  EXPECT_NE(bridge_news().find("value(s) beyond their offset set to its nearest limit"),
            std::string::npos)
      << "the CDI at -3 dots, told";
}

// Two computers as a cockpit builder has them, made of network namespaces: the simulator's
// (the stand-in X-Plane and its beacon), and the cockpit's (kavri-xplane --find and the bench),
// whose second interface, on a home network, holds the default and multicast routes; a third
// host on that home network sends what it likes.
class KavriXplaneTwoHosts : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef KAVRI_EMULATED
    GTEST_SKIP() << "under an emulator: qemu-user refuses the stand-in X-Plane's multicast "
                    "socket options inside the hosts; the native build runs this test";
#endif
    const std::function<Status()> steps[] = {
        [&] { return hosts.add_host("sim"); },
        [&] { return hosts.add_host("cockpit"); },
        [&] { return hosts.add_host("home"); },
        [&] {
          return hosts.link("sim", "sim0", SIM + "/24", "cockpit", "cockpit0", "10.77.1.2/24");
        },
        [&] {
          return hosts.link("home", "home0", HOME + "/24", "cockpit", "cockpit1", COCKPIT + "/24");
        },
        [&] {
          return hosts.ip("cockpit", {"route", "add", "default", "via", HOME});
        },
        [&] {
          return hosts.ip("cockpit", {"route", "add", "224.0.0.0/4", "dev", "cockpit1"});
        },
    };
    for (const auto& step : steps) {
      if (const Status made = step(); !made) {
        GTEST_SKIP() << "cannot make the hosts of this test (network namespaces): " << made.error();
      }
    }
  }

  // A socket of the home network's host sending to the cockpit's `port`.
  std::unique_ptr<UdpSocket> stranger_to(std::uint16_t port) {
    std::unique_ptr<UdpSocket> socket;
    std::string error;
    EXPECT_TRUE(succeeded(hosts.inside("home", [&] {
      auto made = make_platform_udp_socket({HOME, 0}, {COCKPIT, port}, COCKPIT);
      if (made) socket = std::move(made).value();
      if (!made) error = made.error();
    })));
    EXPECT_NE(socket, nullptr) << error;
    return socket;
  }

  std::unique_ptr<testing::ChildProcess> start_bridge(const std::vector<std::string>& args,
                                                      const std::string& name) {
    std::vector<std::string> argv{KAVRI_XPLANE_PROGRAM, "--find"};
    argv.insert(argv.end(), args.begin(), args.end());
    return start_in(dir, hosts.on("cockpit", argv), name);
  }

  std::string file(const std::string& name) { return read_file(dir.file(name)); }

  const std::string SIM = "10.77.1.1", COCKPIT = "10.77.2.2", HOME = "10.77.2.1";
  static constexpr std::uint16_t XPLANE_PORT = 49000;
  testing::NetworkNamespaces hosts;
  ScratchDirectory dir;
  testing::XplaneStandIn xplane;
};

TEST_F(KavriXplaneTwoHosts, FindsXplaneBesideTheDefaultRouteAndTakesOnlyItsAnswers) {
  const auto modules = half_throttle_panel(dir);
  ASSERT_FALSE(modules.empty());
  // A bridge with one line more than the built-in map, killed: its subscriptions stay.
  std::string map = read_file(KAVRI_SOURCE_DIR "/bridges/xplane-c172.map") + "\n";
  const auto leftover = static_cast<std::int32_t>(std::count(map.begin(), map.end(), '\n') + 1);
  testing::write_file(dir.file("longer.map"), map + "0x3000 4 int sim/leftover 1 0 read\n");
  const auto killed = start_bridge({"--map", "longer.map"}, "killed");
  ASSERT_TRUE(
      wait_until([&] { return file("killed-err.txt").find("waiting") != std::string::npos; }));
  // A beacon sent to the cockpit alone, from the home network, before X-Plane's own.
  const auto stranger_beacon = stranger_to(BEACON_PORT);
  ASSERT_NE(stranger_beacon, nullptr);
  for (int i = 0; i < 6; ++i) {
    stranger_beacon->send(becn_beacon(9, "stranger"));
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(
      succeeded(hosts.inside("sim", [&] { ASSERT_TRUE(xplane.start(XPLANE_PORT, SIM, true)); })));
  fly_state(xplane, 0);
  const std::string found = "X-Plane at " + SIM + ":" + std::to_string(XPLANE_PORT);
  ASSERT_TRUE(wait_until([&] { return file("killed-err.txt").find(found) != std::string::npos; }))
      << file("killed-err.txt");
  const std::string listening = "listening on 0.0.0.0:";
  const std::string killed_err = file("killed-err.txt");
  const auto port = static_cast<std::uint16_t>(
      std::stoi(killed_err.substr(killed_err.find(listening) + listening.size())));
  EXPECT_NE(port, 0);
  EXPECT_NE(port, 49010) << "a port of the system's choice, never X-Plane's own";
  ASSERT_TRUE(wait_until([&] {
    const auto requests = xplane.requests();
    return std::any_of(requests.begin(), requests.end(),
                       [&](const auto& r) { return r.index == leftover && r.frequency > 0; });
  }));
  killed->signal(SIGKILL);
  killed->wait(10s);

  const auto bridge = start_bridge(
      {"--print", "--listen", "0.0.0.0:" + std::to_string(port), "--rate", "50"}, "xplane");
  const auto bench = start_in(dir, hosts.on("cockpit", BENCH_ARGV), "bench");
  ASSERT_TRUE(wait_until([&] { return panel_driven(dir, modules); })) << file("xplane-err.txt");
  // The home network's host answers as X-Plane would: 123 kt.
  const auto stranger = stranger_to(port);
  ASSERT_NE(stranger, nullptr);
  const auto airspeed_index = [] {
    for (const MapLine& line : builtin_xplane_map().lines) {
      if (line.offset == 0x02BC) return line.line_number;
    }
    return 0;
  }();
  for (int k = 1; k <= 20; ++k) {
    fly_state(xplane, k);
    stranger->send(rref_answer({{airspeed_index, 123.0f}}));
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(stop_bench_then_bridge(*bench, *bridge), 0);

  const std::string news = file("xplane-err.txt");
  EXPECT_EQ(needles_following_the_bridge(dir, modules), 11) << "the CDI beyond its byte froze none";
  EXPECT_EQ(file("xplane-out.txt").find("$02BC:4=15744 "), std::string::npos) << "123 kt taken";
  EXPECT_NE(news.find("datagram(s) from another host refused, the last one: " + HOME + ":"),
            std::string::npos)
      << news;
  const auto requests = xplane.requests();
  EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const auto& r) {
    return r.index == leftover && r.frequency == 0;
  })) << "the killed bridge's leftover unsubscribed";
  EXPECT_EQ(xplane.subscriptions(), 0u) << "the leftover too";
  expect_throttle_only_at_half(xplane);  // across the hosts
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
                                                      {"--xplane", "127.0.0.1:0"},
                                                      {"--xplane", "239.255.1.1:49000"},
                                                      {"--xplane", "255.255.255.255:49000"},
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
