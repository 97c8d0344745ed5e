// kavri-bench run whole as a user runs it, headless, on a modules file, with a trace: the trace
// must tell the story of that file's bus, and the settings must survive the run. Also its
// command line: anything it does not know gets the usage and exit code 2.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/bus_messages.h"
#include "simlink/endpoint_posix.h"
#include "testing/eventually.h"
#include "testing/files.h"
#include "testing/process.h"

namespace kavri {
namespace {

using testing::read_file;
using testing::write_file;

struct TraceLine {
  std::int64_t ms;
  char direction;
  BusReport bytes;
};

bool is_upper_hex_byte(const std::string& token) {
  return token.size() == 2 && std::all_of(token.begin(), token.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

// Every line must have the documented form ("1003 > 00 07 0C 00 00 00 00 00 00", single
// blanks); a line that does not fails the test.
std::vector<TraceLine> parse_trace(const std::string& text) {
  std::vector<TraceLine> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string ms, direction, byte;
    fields >> ms >> direction;
    bool good = !ms.empty() &&
                std::all_of(ms.begin(), ms.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                (direction == "<" || direction == ">");
    std::string rebuilt = ms + " " + direction;
    TraceLine t{};
    for (auto& b : t.bytes) {
      fields >> byte;
      good = good && is_upper_hex_byte(byte);
      if (good) b = static_cast<std::uint8_t>(std::stoi(byte, nullptr, 16));
      rebuilt += " " + byte;
    }
    EXPECT_TRUE(good && rebuilt == line) << "trace line: " << line;
    if (!good || rebuilt != line) continue;
    t.ms = std::stoll(ms);
    t.direction = direction[0];
    lines.push_back(t);
  }
  return lines;
}

class KavriBench : public ::testing::Test {
 protected:
  std::string file(const char* name) const { return dir.file(name); }

  // Runs kavri-bench in the scratch directory with no display and the simulator's socket kept
  // inside it; what it printed on its standard error goes to `err`.
  int run_bench(std::vector<std::string> args) {
    args.insert(args.begin(), KAVRI_BENCH_PROGRAM);
    const auto result =
        testing::run_process(args, {dir.path(), {"XDG_RUNTIME_DIR=" + dir.path()}, {"DISPLAY"}},
                             std::chrono::minutes(2));
    err = result.err;
    return result.exit_code;
  }

  ScratchDirectory dir;
  std::string err;
};

TEST_F(KavriBench, HeadlessRunTracesTheBusOfTheModulesFile) {
  write_file(file("bus.ini"),
             "[vitesse]\r\naddress = 12\r\ngauge1_type = 11\r\ngauge1_offset = $02BC\r\n"
             "gauge1_offset_length = 4\r\ngauge1_course_min = 10\r\ngauge1_course_max = 240\r\n"
             "gauge1_sim_max = 400\r\nanalog_value = 300\r\n"
             "[moteur]\r\naddress = 7\r\ngauge1_type = 17\r\ngauge2_type = 3\r\n"
             "output1_offset = $0D0C\r\noutput1_offset_length = 2\r\n");
  write_file(file("Kavri.ini"), "backlight = 3\r\nmode_reduit = 0\r\n");
  ASSERT_EQ(
      run_bench({"--headless", "--modules", "bus.ini", "--trace", "trace.txt", "--run-for", "3"}),
      0)
      << err;

  const std::vector<TraceLine> trace = parse_trace(read_file(file("trace.txt")));
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace[0].direction, '>');
  EXPECT_EQ(trace[0].bytes, BusReport{});
  EXPECT_GE(trace[0].ms, 1000);
  std::vector<std::pair<int, int>> found;     // (address, gauge-1 type) in scan order
  std::map<std::pair<int, int>, int> params;  // (table index, answer code) -> byte
  std::vector<BusReport> commands;
  for (std::size_t i = 0; i < trace.size(); ++i) {
    const TraceLine& t = trace[i];
    if (i > 0) {
      EXPECT_GE(t.ms, trace[i - 1].ms);
    }
    if (t.direction == '>') commands.push_back(t.bytes);
    if (t.direction == '<' && t.bytes[1] == RSP_MODULE_FOUND)
      found.push_back({t.bytes[2], t.bytes[3]});
    if (t.direction == '<' && t.bytes[1] >= RSP_PARAM_FIRST && t.bytes[1] <= RSP_PARAM_LAST) {
      EXPECT_TRUE(params.emplace(std::pair{t.bytes[2], t.bytes[1]}, t.bytes[3]).second);
    }
  }
  EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{12, 11}, {7, 17}}));  // the file's order
  EXPECT_EQ(params.size(), 2u * PARAM_COUNT);
  const std::map<std::pair<int, int>, int> from_file{
      {{0, 150}, 10},   {{0, 151}, 240}, {{0, 154}, 0x02}, {{0, 155}, 0xBC}, {{0, 160}, 0x01},
      {{0, 161}, 0x90}, {{0, 185}, 11},  {{0, 170}, 0},    {{1, 171}, 0x0D}, {{1, 172}, 0x0C},
      {{1, 175}, 2},    {{1, 185}, 17},  {{1, 170}, 3},    {{1, 150}, 0}};
  for (const auto& [key, value] : from_file) {
    EXPECT_EQ(params[key], value) << "index " << key.first << " code " << key.second;
  }

  // The exploration's commands, then the saved backlight (3 x 17) once the exploration is over.
  const std::vector<BusReport> expected{{0, CMD_EXPLORE},          {0, CMD_RESET_MODULE, 12},
                                        {0, CMD_RESET_MODULE, 12}, {0, CMD_DUMP_PARAMS, 12, 0},
                                        {0, CMD_RESET_MODULE, 7},  {0, CMD_DUMP_PARAMS, 7, 1},
                                        {0, CMD_END_EXPLORATION},  {0, CMD_SET_BACKLIGHT, 50, 51}};
  ASSERT_GE(commands.size(), expected.size());
  EXPECT_EQ(std::vector<BusReport>(commands.begin(), commands.begin() + expected.size()), expected);

  EXPECT_EQ(read_file(file("Kavri.ini")), "backlight = 3\r\nmode_reduit = 0\r\n");
}

// A second bench on the modules file of a running one is refused before it opens anything: the
// trace file it names is left as it was, the refusal is the first and only thing it says, and
// its exit code tells scripts.
TEST_F(KavriBench, ASecondBenchOnOneModulesFileTouchesNothingAndExitsWith1) {
  write_file(file("bus.ini"), "[vitesse]\r\naddress = 12\r\n");
  testing::ProcessOptions options{dir.path(), {"XDG_RUNTIME_DIR=" + dir.path()}, {"DISPLAY"}};
  testing::ChildProcess first(
      {KAVRI_BENCH_PROGRAM, "--headless", "--modules", "bus.ini", "--trace", "first.txt"}, options);
  ASSERT_TRUE(testing::eventually([this] { return !read_file(file("first.txt")).empty(); },
                                  std::chrono::seconds(30)));
  write_file(file("trace.txt"), "kept\n");
  EXPECT_EQ(
      run_bench({"--headless", "--modules", "bus.ini", "--trace", "trace.txt", "--run-for", "1"}),
      1);
  EXPECT_EQ(err, "Erreur : Le pilote Kavri tourne déjà pour cette carte\n");
  EXPECT_EQ(read_file(file("trace.txt")), "kept\n");
  first.signal(SIGTERM);
  EXPECT_EQ(first.wait(std::chrono::seconds(30)), 0);
}

// The simulator link's request area of a process, in the POSIX shared memory.
bool has_request_area(pid_t pid) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "FsasmLib:IPC:%X:", static_cast<unsigned>(pid));
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    if (entry.path().filename().string().starts_with(prefix)) return true;
  }
  return false;
}

// A kill, Ctrl-C and the end of the session end the driver as a close of its main window does:
// the settings saved, the simulator link closed and its request area gone.
TEST_F(KavriBench, EndSignalsEndTheRunAsACloseDoes) {
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  std::vector<std::unique_ptr<testing::ChildProcess>> benches;
  for (int signal_number : signals) {
    const std::string folder = file(std::to_string(signal_number).c_str());
    std::filesystem::create_directory(folder);
    benches.push_back(std::make_unique<testing::ChildProcess>(
        std::vector<std::string>{KAVRI_BENCH_PROGRAM, "--headless"},
        testing::ProcessOptions{folder, {"XDG_RUNTIME_DIR=" + folder}, {"DISPLAY"}}));
  }
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (std::size_t i = 0; i < benches.size(); ++i) {
    while (!has_request_area(benches[i]->pid()) && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(has_request_area(benches[i]->pid())) << "the link never came up";
    benches[i]->signal(signals[i]);
  }
  for (std::size_t i = 0; i < benches.size(); ++i) {
    EXPECT_EQ(benches[i]->wait(std::chrono::seconds(30)), 0) << signals[i];
    EXPECT_EQ(read_file(file(std::to_string(signals[i]).c_str()) + "/Kavri.ini"),
              "backlight = 0\r\nmode_reduit = 0\r\n")
        << signals[i];
    EXPECT_FALSE(has_request_area(benches[i]->pid())) << signals[i];
  }
}

// A bench started while another simulator serves the link (here kavri-sim) says so, and serves
// the link itself once that one ends: its driver never loses the link for good.
TEST_F(KavriBench, ASecondSimulatorSaysSoAndServesOnceTheFirstEnds) {
  testing::ProcessOptions options{dir.path(), {"XDG_RUNTIME_DIR=" + dir.path()}, {"DISPLAY"}};
  testing::ChildProcess first({KAVRI_SIM_PROGRAM}, options);
  const auto served = [this] {
    const int fd = connect_ipc_socket(file("kavri/UIPCMAIN"));
    return fd >= 0 && close(fd) == 0;
  };
  ASSERT_TRUE(testing::eventually(served, std::chrono::seconds(30)));
  options.err_file = file("bench.err");
  testing::ChildProcess bench({KAVRI_BENCH_PROGRAM, "--headless"}, options);
  const auto told = [this](const char* words) {
    return testing::eventually(
        [&] { return read_file(file("bench.err")).find(words) != std::string::npos; },
        std::chrono::seconds(30));
  };
  EXPECT_TRUE(told("this bench serves its own as soon as that one ends"));
  first.signal(SIGTERM);
  EXPECT_TRUE(told("the built-in simulator now serves the link") && served());
  bench.signal(SIGTERM);
  EXPECT_EQ(bench.wait(std::chrono::seconds(30)), 0);
}

// Unusable files are refused at once, and an error quotes a bad word by a short excerpt only.
TEST_F(KavriBench, BadFilesAndWordsGetAShortMessageAtOnce) {
  ASSERT_EQ(::mkfifo(file("trace.fifo").c_str(), 0600), 0);
  EXPECT_EQ(run_bench({"--headless", "--trace", "trace.fifo"}), 1);
  EXPECT_NE(err.find("cannot create the trace file trace.fifo"), std::string::npos) << err;

  const std::string huge(100000, 'g');
  write_file(file("twice.ini"), "[" + huge + "]\r\naddress = 1\r\n[" + huge + "]\r\n");
  EXPECT_EQ(run_bench({"--headless", "--modules", "twice.ini"}), 1);
  EXPECT_NE(err.find("apparait deux fois"), std::string::npos) << err.substr(0, 200);
  EXPECT_LT(err.size(), 300u);
  EXPECT_EQ(run_bench({"--headless", "--trace", "missing/" + huge}), 1);
  EXPECT_LT(err.size(), 300u);

  write_file(file("gauge.jcf"),
             "[jauge]\r\nCombo_1_type = 0\r\nString_offset1 = $0BC0\r\nString_Loffset1 = 2\r\n");
  const auto gauge =
      testing::run_process({KAVRI_GAUGE_PROGRAM, "--config", file("gauge.jcf"), "1" + huge});
  EXPECT_EQ(gauge.exit_code, 2);
  EXPECT_NE(gauge.err.find("not a number"), std::string::npos);
  EXPECT_LT(gauge.err.size(), 300u);
}

// The demo bench's card pulled out at 3 s and plugged back in at 5 s: nothing reaches the card
// meanwhile; then a second exploration finds the same four modules, and every needle is set
// again. Prints the time from the replug to the first position report. The last needle comes
// some 3 s after the replug (the pause, then half a second per module), so the run lasts 10 s.
TEST_F(KavriBench, UnpluggedAndPluggedBackInTheTraceShowsASecondExplorationAndTheNeedlesAgain) {
  ASSERT_EQ(run_bench({"--headless", "--unplug-at", "3", "--replug-at", "5", "--trace", "trace.txt",
                       "--run-for", "10"}),
            0)
      << err;
  const std::vector<TraceLine> trace = parse_trace(read_file(file("trace.txt")));
  std::vector<std::size_t> explores;
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].direction == '>' && trace[i].bytes == BusReport{}) explores.push_back(i);
  }
  ASSERT_EQ(explores.size(), 2u);
  const TraceLine& second = trace[explores[1]];
  EXPECT_GE(second.ms, 5000);
  for (const TraceLine& t : trace) {
    EXPECT_FALSE(t.ms >= 3500 && t.ms < second.ms) << "at " << t.ms << " the card was out";
  }

  std::vector<int> found;
  std::map<int, std::int64_t> first_position_at;  // by module address, after the replug
  for (std::size_t i = explores[1]; i < trace.size(); ++i) {
    const TraceLine& t = trace[i];
    if (t.direction == '<' && t.bytes[1] == RSP_MODULE_FOUND) found.push_back(t.bytes[2]);
    if (t.direction == '>' && t.bytes[1] == CMD_SET_POSITION_1) {
      first_position_at.emplace(t.bytes[2], t.ms);
    }
  }
  EXPECT_EQ(found, (std::vector<int>{12, 20, 33, 41}));
  ASSERT_EQ(first_position_at.size(), 4u) << "a needle was not set again";
  std::int64_t first = first_position_at.begin()->second;
  for (const auto& [address, ms] : first_position_at) first = std::min(first, ms);
  std::printf("replug at 5000 ms, CMD_EXPLORE again at %lld ms, first position report at %lld ms\n",
              static_cast<long long>(second.ms), static_cast<long long>(first));
  EXPECT_NE(err.find("main window shows \"Carte absente\""), std::string::npos) << err;
  EXPECT_NE(err.find("main window shows the card present again"), std::string::npos) << err;
}

TEST_F(KavriBench, UnknownOrIncompleteOptionsGetTheUsageAndExitCode2) {
  const std::vector<std::vector<std::string>> misuses{
      {"--bogus"},         {"--modules"},        {"--run-for"},
      {"--run-for", "-1"}, {"--run-for", "1e3"}, {"--headless", "extra"}};
  for (const auto& args : misuses) {
    EXPECT_EQ(run_bench(args), 2) << args[0];
    EXPECT_NE(err.find("usage: kavri-bench"), std::string::npos) << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(file("Kavri.ini")));
}

}  // namespace
}  // namespace kavri
