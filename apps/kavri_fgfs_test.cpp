// kavri-fgfs run whole, with this test in FlightGear's place: it replays the flight recorded
// from FlightGear over UDP and listens where FlightGear reads its input. The driver, on the
// demo Cessna 172 panel, must put each needle where kavri-gauge puts the values kavri-fgfs
// says it decoded, its throttle lever must reach "FlightGear", and the link must go down when
// the stream stops and come back when it resumes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "shell/driver.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "simlink/transport_posix.h"
#include "testing/files.h"
#include "testing/panel_positions.h"
#include "testing/process.h"
#include "testing/result_checks.h"
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
    auto input = make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", 9}, "127.0.0.1");
    ASSERT_TRUE(input) << input.error();
    flightgear_input = std::move(input).value();
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
    bridge_port = static_cast<std::uint16_t>(std::stoi(port));
    auto output =
        make_platform_udp_socket({"127.0.0.1", 0}, {"127.0.0.1", bridge_port}, "127.0.0.1");
    ASSERT_TRUE(output) << output.error();
    flightgear_output = std::move(output).value();
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
  std::uint16_t bridge_port = 0;
  std::unique_ptr<testing::ChildProcess> bridge;
  std::vector<std::string> received;
  Clock::time_point last_frame_sent;
};

TEST_F(KavriFgfs, ReplayedFlightDrivesThePanelAndItsThrottleReachesFlightGear) {
  std::string panel = read_file(DEMO + "c172-panel.ini");
  const std::string lever = "analog_value = 13926";
  ASSERT_NE(panel.find(lever), std::string::npos);
  panel.replace(panel.find(lever), lever.size(), "analog_value = 8192");  // half throttle
  write_file(file("bus.ini"), panel);
  write_file(file("Calibrage.ini"), read_file(DEMO + "c172-calibration.ini"));
  const auto modules = load_bench_modules(file("bus.ini"));
  ASSERT_TRUE(succeeded(modules));

  start_bridge();
  // Bad datagrams first: they must leave kavri-fgfs running and change nothing.
  for (const std::string& hostile : {std::string(65507, '9'), std::string("nan\n"),
                                     flight[0] + "\n" + flight[1] + "\n", flight[0] + ",x\n"}) {
    flightgear_output->send(hostile);
  }
  // A frame from another host than FlightGear's, whatever it holds.
  const auto stranger =
      make_platform_udp_socket({"127.0.0.2", 0}, {"127.0.0.1", bridge_port}, "127.0.0.1");
  ASSERT_TRUE(stranger) << stranger.error();
  (*stranger)->send(flight[0] + "\n");
  const auto bench = start({KAVRI_BENCH_PROGRAM, "--headless", "--no-sim", "--modules", "bus.ini",
                            "--trace", "trace.txt", "--run-for", "60"},
                           "bench");
  // The stream holds its first frame until the driver's first pass (500 ms per module) is over.
  ASSERT_TRUE(wait_until(
      [&] {
        return testing::reported(read_file(file("trace.txt")), {})
            .count({modules->back().address, 1});
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
  EXPECT_NE(read_file(file("fgfs-err.txt"))
                .find("1 datagram(s) from another host refused, the last one: 127.0.0.2:"),
            std::string::npos);

  std::vector<std::string> printed;
  std::istringstream out(read_file(file("fgfs-out.txt")));
  for (std::string line; std::getline(out, line);) printed.push_back(line);
  ASSERT_GT(printed.size(), 300u);
  const int gauges = testing::expect_needles_follow(
      *modules, printed, read_file(file("trace.txt")),
      {KAVRI_GAUGE_PROGRAM, DEMO + "c172-calibration.ini", dir.path()});
  EXPECT_EQ(gauges, 11);

  // The lever's 8192 of 16384 from the first line on, with FlightGear's own propeller and
  // mixture values of the time: nothing goes to the throttle before the lever's module has
  // answered the driver.
  std::set<std::string> levers_reported;
  for (const std::string& frame : flight) {
    levers_reported.insert(frame.substr(frame.rfind(',', frame.rfind(',') - 1) + 1));
  }
  const std::vector<std::string> sent = flightgear_received();
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(sent.back().starts_with("0.500000,")) << sent.back();
  for (const std::string& datagram : sent) {
    ASSERT_TRUE(datagram.starts_with("0.500000,")) << datagram;
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
      {"--run-for", "1.5"}, {"--run-for", "-1"}, {"extra"},
      {"--accept", ""}};
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

// --- Files: only regular ones are read or replaced, and the protocol file is always XML.

TEST_F(KavriFgfs, ReadsAndReplacesRegularFilesOnly) {
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), KAVRI_FGFS_PROGRAM);
    return testing::run_process(args, {dir.path(), {}, {}}, 20s);
  };
  ASSERT_EQ(mkfifo(file("fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(file("folder").c_str(), 0700), 0);
  for (const std::string& map : {std::string("/dev/zero"), file("fifo"), file("folder")}) {
    const auto result = run({"--map", map, "--write-protocol", "."});
    EXPECT_EQ(result.exit_code, 1) << map << ": " << result.err;
  }
  EXPECT_EQ(run({"--write-protocol", ""}).exit_code, 2) << "no folder: not the root";
  // Something other than a file where kavri.xml goes: a FIFO, a folder, a symbolic link.
  write_file(file("victim"), "kept");
  for (const char* target : {"fifo", "folder", "link"}) {
    const std::string out = file((std::string("out-") + target).c_str());
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    const std::string xml = out + "/kavri.xml";
    ASSERT_EQ(target == std::string("fifo")     ? mkfifo(xml.c_str(), 0600)
              : target == std::string("folder") ? mkdir(xml.c_str(), 0700)
                                                : symlink(file("victim").c_str(), xml.c_str()),
              0);
    EXPECT_EQ(run({"--write-protocol", out}).exit_code, 1) << target;
  }
  EXPECT_EQ(read_file(file("victim")), "kept");
}

TEST_F(KavriFgfs, MapCommentsNeverMakeTheProtocolFileIllFormed) {
  const std::vector<std::string> comments{"control \x01\x1b",
                                          "Latin-1 \xe9t\xe9",
                                          "markup <b>&amp;</b> ]]>",
                                          "UTF-8 \xc3\xa9t\xc3\xa9",
                                          "not a character \xef\xbf\xbe",
                                          "cut \xe2\x82"};
  std::string map;
  for (std::size_t i = 0; i < comments.size(); ++i) {
    map += "0x0B" + std::to_string(10 + 2 * i) + " 2 int /a/b 1 0 read # " + comments[i] + "\n";
  }
  write_file(file("panel.map"), map);
  const auto written = testing::run_process(
      {KAVRI_FGFS_PROGRAM, "--map", "panel.map", "--write-protocol", "."}, {dir.path(), {}, {}});
  ASSERT_EQ(written.exit_code, 0) << written.err;
  const auto parsed = testing::run_process({"/usr/bin/xmllint", "--noout", file("kavri.xml")});
  EXPECT_EQ(parsed.exit_code, 0) << parsed.err;
  EXPECT_NE(read_file(file("kavri.xml")).find("UTF-8 \xc3\xa9t\xc3\xa9"), std::string::npos);
}

// --- Ends and output that nobody reads.

TEST_F(KavriFgfs, AnUnreadPrintNeitherKeepsServingNorHoldsTheEnd) {
  ASSERT_EQ(mkfifo(file("fgfs-out.txt").c_str(), 0600), 0);
  const int reader = open(file("fgfs-out.txt").c_str(), O_RDONLY | O_NONBLOCK);  // never read
  ASSERT_GE(reader, 0);
  start_bridge();
  // Far more printed lines than a pipe holds.
  for (std::size_t i = 0; i < 400; ++i) {
    send_frame(flight[i]);
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_TRUE(wait_until(
      [&] {
        return read_file(file("fgfs-err.txt")).find("no frame from FlightGear for 2 s") !=
               std::string::npos;
      },
      nullptr, 10s))
      << read_file(file("fgfs-err.txt"));
  bridge->signal(SIGINT);
  EXPECT_EQ(bridge->wait(10s), 0);
  close(reader);
}

TEST_F(KavriFgfs, SighupEndsItAsSigtermAndTakesItsSocketAway) {
  start_bridge();
  const std::string socket_file = dir.path() + "/kavri/UIPCMAIN";
  ASSERT_TRUE(wait_until([&] { return testing::file_exists(socket_file); }, &flight[0]));
  bridge->signal(SIGHUP);
  EXPECT_EQ(bridge->wait(10s), 0);
  EXPECT_FALSE(testing::file_exists(socket_file));
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
    return ui.text(MainControl::status_label) == text;
  };
  EXPECT_TRUE(wait_until([&] { return status_is("Connecté"); }, &flight[0]));
  EXPECT_TRUE(wait_until([&] { return status_is("Déconnecté"); }));
  EXPECT_GE(Clock::now() - last_frame_sent, 2s) << "served for 2 s after the last frame";
  EXPECT_TRUE(wait_until([&] { return status_is("Connecté"); }, &flight[1]));
  shut_down(*state);
}

}  // namespace
}  // namespace kavri
