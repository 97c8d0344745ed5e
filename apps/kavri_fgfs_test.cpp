// kavri-fgfs run whole, with this test in FlightGear's place: it replays the flight recorded
// from FlightGear over UDP and listens where FlightGear reads its input. The driver, on the
// demo Cessna 172 panel, must put each needle where kavri-gauge puts the values kavri-fgfs
// says it decoded, its throttle lever must reach "FlightGear", and the link must go down when
// the stream stops and come back when it resumes.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bridges/testdata/recorded_flight.h"
#include "bridges/udp_socket.h"
#include "bus_model/gauge_types.h"
#include "bus_model/module_params.h"
#include "config/gauge_config.h"
#include "device/bus_messages.h"
#include "procedures/control_numbers.h"
#include "shell/driver.h"
#include "shell/main_loop.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/process.h"
#include "testing/virtual_modules.h"
#include "ui/headless_toolkit.h"
#include "virtual/bench_modules_file.h"
#include "virtual/lent_card_layer.h"
#include "virtual/virtual_card.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::read_file;
using testing::write_file;

const std::string DEMO = KAVRI_SOURCE_DIR "/bridges/demo/";

class KavriFgfs : public ::testing::Test {
 protected:
  std::string file(const char* name) const { return dir.file(name); }

  // A program run in the scratch directory, whose simulator socket then stays inside it.
  std::unique_ptr<testing::ChildProcess> start(const std::vector<std::string>& argv,
                                               const std::string& name) {
    return std::make_unique<testing::ChildProcess>(
        argv, testing::ProcessOptions{dir.path(),
                                      {"XDG_RUNTIME_DIR=" + dir.path()},
                                      {"DISPLAY"},
                                      file((name + "-out.txt").c_str()),
                                      file((name + "-err.txt").c_str())});
  }

  // Starts kavri-fgfs on a port of the system's choice, sending to this test's input socket.
  void start_bridge() {
    std::string error;
    flightgear_input = make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", 9}, error);
    ASSERT_NE(flightgear_input, nullptr) << error;
    bridge = start({KAVRI_FGFS_PROGRAM, "--print", "--listen", "127.0.0.1:0", "--send",
                    "127.0.0.1:" + std::to_string(flightgear_input->local_port())},
                   "fgfs");
    const std::string listening = "listening on 127.0.0.1:";
    std::string err;
    ASSERT_TRUE(wait_until([&] {
      err = read_file(file("fgfs-err.txt"));
      return err.find(", sending") != std::string::npos;
    })) << err;
    const auto port = err.substr(err.find(listening) + listening.size());
    const auto bridge_port = static_cast<std::uint16_t>(std::stoi(port));
    flightgear_output =
        make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", bridge_port}, error);
    ASSERT_NE(flightgear_output, nullptr) << error;
  }

  // Polls `done` (real time, bounded); while waiting, sends `frame` every 100 ms if given.
  bool wait_until(const std::function<bool()>& done, const std::string* frame = nullptr,
                  Clock::duration limit = 30s) {
    const auto give_up = Clock::now() + limit;
    auto next_frame = Clock::now();
    while (!done()) {
      if (Clock::now() > give_up) return false;
      if (frame != nullptr && Clock::now() >= next_frame) {
        send_frame(*frame);
        next_frame += 100ms;
      }
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  void send_frame(const std::string& line) {
    flightgear_output->send(line + "\n");
    last_frame_sent = Clock::now();
  }

  // Every datagram kavri-fgfs has sent to FlightGear so far.
  std::vector<std::string> flightgear_received() {
    std::vector<char> buffer(65536);
    while (const auto size = flightgear_input->receive(buffer, 0ms)) {
      received.emplace_back(buffer.data(), *size);
    }
    return received;
  }

  ScratchDirectory dir;
  std::vector<std::string> flight = testing::recorded_flight();
  std::unique_ptr<UdpSocket> flightgear_input, flightgear_output;
  std::unique_ptr<testing::ChildProcess> bridge;
  std::vector<std::string> received;
  Clock::time_point last_frame_sent;
};

// --- The panel's needles against kavri-gauge.

using Gauge = std::pair<int, int>;  // (module address, gauge 1 or 2)

// The position reports after the exploration, by gauge: bytes, or "low high" for the gauges 1
// of the modules at `split` addresses (both commands carry their 16-bit position). A cut last
// line is skipped.
std::map<Gauge, std::vector<std::string>> reported(const std::string& trace,
                                                   const std::set<int>& split) {
  std::map<Gauge, std::vector<std::string>> shown;
  std::istringstream lines(trace);
  bool explored = false;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string ms, direction, hex;
    fields >> ms >> direction;
    std::vector<int> bytes;
    while (fields >> hex) bytes.push_back(std::stoi(hex, nullptr, 16));
    if (bytes.size() != REPORT_SIZE) continue;
    if (direction == "<" && bytes[1] == RSP_EXPLORATION_DONE) explored = true;
    const int gauge = bytes[1] == CMD_SET_POSITION_1 ? 1 : bytes[1] == CMD_SET_POSITION_2 ? 2 : 0;
    if (!explored || direction != ">" || gauge == 0) continue;
    auto& positions = shown[{bytes[2], split.count(bytes[2]) ? 1 : gauge}];
    if (split.count(bytes[2]) && gauge == 2 && !positions.empty()) {
      positions.back() += " " + std::to_string(bytes[3]);
    } else {
      positions.push_back(std::to_string(bytes[3]));
    }
  }
  return shown;
}

// The value the frame printed as "$OFFSET:SIZE=VALUE ..." gives `length` bytes at `offset`, as
// kavri-gauge takes it: an integer (the bytes read as signed), or the decimal of a double.
std::string value_in(const std::string& printed, std::uint32_t offset, std::uint32_t length) {
  std::istringstream items(printed);
  for (std::string item; items >> item;) {
    const auto start = static_cast<std::uint32_t>(std::stoul(item.substr(1, 4), nullptr, 16));
    const auto size = static_cast<std::uint32_t>(std::stoul(item.substr(6, 1)));
    const std::string value = item.substr(8);
    if (offset < start || offset + length > start + size) continue;
    if (value.find_first_of(".e") != std::string::npos) return value;  // a double, whole
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(std::stoll(value)) >> (8 * (offset - start));
    const unsigned unused = 64 - 8 * length;
    return std::to_string(static_cast<std::int64_t>(bytes << unused) >> unused);
  }
  ADD_FAILURE() << "no value at " << offset << " in " << printed;
  return "0";
}

// The module's configuration as a ".jcf" file, which kavri-gauge reads.
void write_jcf(const std::string& path, const VirtualModule& module) {
  std::vector<GaugeConfigLine> lines;
  for (Param param : gauge_config_order()) {
    const ParamInfo& info = param_info(param);
    std::int64_t value = module.param(param);
    if (info.kind == ParamKind::type_list) value -= 1;
    if (info.kind == ParamKind::inversion_box) value = value != 0 ? 1 : 0;
    lines.emplace_back(info.jcf_key, std::to_string(value));
  }
  write_gauge_config(path, lines);
}

// kavri-gauge's positions for `values`, one line per value ("low" or "low high").
std::vector<std::string> gauge_positions(const std::string& jcf, int gauge, int address,
                                         int battery, const std::vector<std::string>& values) {
  std::vector<std::string> args{KAVRI_GAUGE_PROGRAM, "--calibration",
                                DEMO + "c172-calibration.ini"};
  for (const auto& [option, value] : {std::pair<const char*, std::string>{"--config", jcf},
                                      {"--gauge", std::to_string(gauge)},
                                      {"--address", std::to_string(address)},
                                      {"--battery", std::to_string(battery)}}) {
    args.insert(args.end(), {option, value});
  }
  args.insert(args.end(), values.begin(), values.end());
  const auto result = testing::run_process(args);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> positions;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) positions.push_back(line);
  EXPECT_EQ(positions.size(), values.size());
  return positions;
}

// True when `shown` is `expected` with some elements left out: the driver sees the stream at
// its own passes, and reports a position only when it changes.
bool is_subsequence(const std::vector<std::string>& shown,
                    const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& s : shown) {
    while (at < expected.size() && expected[at] != s) ++at;
    if (at == expected.size()) return false;
    ++at;
  }
  return true;
}

TEST_F(KavriFgfs, ReplayedFlightDrivesThePanelAndItsThrottleReachesFlightGear) {
  std::string panel = read_file(DEMO + "c172-panel.ini");
  const std::string lever = "analog_value = 13926";
  ASSERT_NE(panel.find(lever), std::string::npos);
  panel.replace(panel.find(lever), lever.size(), "analog_value = 8192");  // half throttle
  write_file(file("bus.ini"), panel);
  write_file(file("Calibrage.ini"), read_file(DEMO + "c172-calibration.ini"));
  std::string error;
  const auto modules = load_bench_modules(file("bus.ini"), error);
  ASSERT_TRUE(modules) << error;

  start_bridge();
  // Bad datagrams first: they must leave kavri-fgfs running and change nothing.
  for (const std::string& hostile : {std::string(65507, '9'), std::string("nan\n"),
                                     flight[0] + "\n" + flight[1] + "\n", flight[0] + ",x\n"}) {
    flightgear_output->send(hostile);
  }
  const auto bench = start({KAVRI_BENCH_PROGRAM, "--headless", "--no-sim", "--modules", "bus.ini",
                            "--trace", "trace.txt", "--run-for", "60"},
                           "bench");
  // The stream holds its first frame until the driver's first pass (500 ms per module) is over.
  ASSERT_TRUE(wait_until(
      [&] {
        return reported(read_file(file("trace.txt")), {}).count({modules->back().address, 1});
      },
      &flight[0]))
      << read_file(file("bench-err.txt"));
  // Lines 130-429: the battery off and on, lights, the throttle down to 0.24 and up to full.
  for (std::size_t i = 130; i < 430; ++i) {
    send_frame(flight[i]);
    std::this_thread::sleep_for(10ms);
  }
  const auto hold_until = Clock::now() + 1s;
  ASSERT_TRUE(wait_until([&] { return Clock::now() > hold_until; }, &flight[429]));
  bench->signal(SIGTERM);
  bench->wait(30s);
  bridge->signal(SIGTERM);
  EXPECT_EQ(bridge->wait(30s), 0) << read_file(file("fgfs-err.txt"));
  EXPECT_NE(read_file(file("fgfs-err.txt")).find("datagram(s) refused"), std::string::npos);

  std::vector<std::string> printed;
  std::istringstream out(read_file(file("fgfs-out.txt")));
  for (std::string line; std::getline(out, line);) printed.push_back(line);
  ASSERT_GT(printed.size(), 300u);
  std::set<int> split;
  for (const VirtualModule& m : *modules) {
    if (is_split_type(static_cast<int>(m.param(Param::gauge1_type)))) split.insert(m.address);
  }
  const auto shown_by_gauge = reported(read_file(file("trace.txt")), split);
  int gauges = 0;
  for (const VirtualModule& m : *modules) {
    const std::string jcf = file(("module" + std::to_string(m.address) + ".jcf").c_str());
    write_jcf(jcf, m);
    for (int gauge = 1; gauge <= 2; ++gauge) {
      const auto offset = m.param(gauge == 1 ? Param::gauge1_offset : Param::gauge2_offset);
      const auto length =
          m.param(gauge == 1 ? Param::gauge1_offset_length : Param::gauge2_offset_length);
      if (offset == 0) continue;
      std::vector<std::string> values, batteries;
      for (const std::string& frame : printed) {
        values.push_back(value_in(frame, static_cast<std::uint32_t>(offset),
                                  static_cast<std::uint32_t>(length)));
        batteries.push_back(value_in(frame, 0x281C, 2));
      }
      // The fuel gauges read the battery word: each frame's position under its own battery.
      const auto on = gauge_positions(jcf, gauge, m.address, 1, values);
      const auto off = gauge_positions(jcf, gauge, m.address, 0, values);
      std::vector<std::string> expected;
      for (std::size_t i = 0; i < on.size() && i < off.size(); ++i) {
        expected.push_back(batteries[i] == "0" ? off[i] : on[i]);
      }
      const auto shown = shown_by_gauge.count({m.address, gauge})
                             ? shown_by_gauge.at({m.address, gauge})
                             : std::vector<std::string>{};
      ASSERT_FALSE(shown.empty()) << "module " << m.address << " gauge " << gauge;
      EXPECT_TRUE(is_subsequence(shown, expected)) << "module " << m.address << " gauge " << gauge;
      EXPECT_EQ(shown.back(), expected.back()) << "module " << m.address << " gauge " << gauge;
      ++gauges;
    }
  }
  EXPECT_EQ(gauges, 11);

  // The lever's 8192 of 16384, with FlightGear's own propeller and mixture values of the time.
  // The driver writes the analog value of the pass before, so its very first write is the 0 it
  // starts with.
  std::set<std::string> levers_reported;
  for (const std::string& frame : flight) {
    levers_reported.insert(frame.substr(frame.rfind(',', frame.rfind(',') - 1) + 1));
  }
  const std::vector<std::string> sent = flightgear_received();
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(sent.back().starts_with("0.500000,")) << sent.back();
  for (const std::string& datagram : sent) {
    ASSERT_TRUE(datagram.starts_with("0.500000,") || datagram.starts_with("0.000000,")) << datagram;
    ASSERT_TRUE(datagram.ends_with("\n")) << datagram;
    EXPECT_TRUE(levers_reported.count(datagram.substr(9, datagram.size() - 10))) << datagram;
  }
}

// --- The command line.

TEST_F(KavriFgfs, MisusesExitWith2AndTheProtocolFileComesFromTheMap) {
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), KAVRI_FGFS_PROGRAM);
    return testing::run_process(args, {dir.path(), {}, {}});
  };
  const std::vector<std::vector<std::string>> misuses{
      {"--bogus"},          {"--map"},           {"--listen", "5510"},
      {"--send", "host:"},  {"--send", ":5511"}, {"--listen", "127.0.0.1:65536"},
      {"--run-for", "1.5"}, {"--run-for", "-1"}, {"extra"}};
  for (const auto& args : misuses) {
    const auto result = run(args);
    EXPECT_EQ(result.exit_code, 2) << args[0];
    EXPECT_TRUE(result.err.starts_with("usage: kavri-fgfs")) << args[0] << ": " << result.err;
  }

  write_file(file("panel.map"),
             "# two levers\n0x0BC0 2 int /controls/flight/elevator-trim 16383 0 read\n"
             "0x088C 3 int /controls/engines/engine[0]/throttle 16384 0 both\n");
  auto result = run({"--map", "panel.map", "--write-protocol", "."});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "kavri-fgfs: panel.map:3: size \"3\" is not 1, 2, 4 or 8\n");
  EXPECT_EQ(run({"--map", "missing.map"}).exit_code, 1);

  write_file(file("panel.map"),
             "0x0BC0 2 int /controls/flight/elevator-trim 16383 0 read\n"
             "0x088C 2 int /controls/engines/engine[0]/throttle 16384 0 both\n");
  result = run({"--map", "panel.map", "--write-protocol", "."});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string xml = read_file(file("kavri.xml"));
  const auto output = xml.find("<output>"), input = xml.find("<input>");
  const auto trim = xml.find("<node>/controls/flight/elevator-trim</node>");
  const auto throttle = xml.find("<node>/controls/engines/engine[0]/throttle</node>");
  EXPECT_TRUE(output < trim && trim < throttle && throttle < input) << xml;
  EXPECT_NE(xml.find("<node>/controls/engines/engine[0]/throttle</node>", input), std::string::npos)
      << xml;
}

// --- The link's state, as the driver's main window shows it.

TEST_F(KavriFgfs, StreamThatStopsShowsDeconnecteAndOneThatResumesConnecte) {
  start_bridge();
  SystemEnv env;
  HeadlessToolkit ui;
  VirtualCard card({testing::module_at(12, 2)});
  LentCardLayer hid(&card);
  auto transport = make_posix_transport({dir.path() + "/kavri"});
  std::unique_ptr<AppState> state =
      start_up(DriverPorts{env, ui, hid, *transport, dir.path(), {}, {}});
  ASSERT_NE(state, nullptr);
  LoopEnd end;
  const auto status_is = [&](const char* text) {
    run_pass(*state, std::nullopt, end);
    return ui.text(MAIN_STATUS_LABEL) == text;
  };
  EXPECT_TRUE(wait_until([&] { return status_is("Connecté"); }, &flight[0]));
  EXPECT_TRUE(wait_until([&] { return status_is("Déconnecté"); }));
  EXPECT_GE(Clock::now() - last_frame_sent, 2s) << "served for 2 s after the last frame";
  EXPECT_TRUE(wait_until([&] { return status_is("Connecté"); }, &flight[1]));
  shut_down(*state);
}

}  // namespace
}  // namespace kavri
