// Across real processes: kavri-sim holds one value at each gauge's offset, kavri-bench explores a
// virtual bus and drives it from those values, and every needle must end where kavri-gauge says
// the same configuration puts it. The bus carries the configuration (exploration), the simulator
// link carries the values; both must arrive intact for the bytes to agree.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bus_model/module_params.h"
#include "config/gauge_config.h"
#include "device/bus_messages.h"
#include "testing/files.h"
#include "testing/process.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;
using testing::read_file;
using testing::write_file;

// A program started in `directory`, with XDG_RUNTIME_DIR set to it (its simulator socket stays
// private to this test) and no DISPLAY; its output goes to `out` and `err` there.
class Child : public testing::ChildProcess {
 public:
  Child(const std::vector<std::string>& args, const std::string& directory, const char* out,
        const char* err)
      : ChildProcess(args, {directory,
                            {"XDG_RUNTIME_DIR=" + directory},
                            {"DISPLAY"},
                            directory + "/" + out,
                            directory + "/" + err}) {}
};

// One module of the bench: its parameter fields by record field name, as its EEPROM keeps them
// (a missing field is 0), and the value the simulator holds at each of its gauges' offsets.
struct BenchModule {
  const char* group;
  int address;
  std::map<std::string, std::int64_t> fields;
  std::map<int, std::string> values;  // gauge (1 or 2) -> simulator value, as typed

  std::int64_t field(const std::string& name) const {
    const auto found = fields.find(name);
    return found == fields.end() ? 0 : found->second;
  }
  std::string gauge_field(int gauge, const char* name) const {
    return "gauge" + std::to_string(gauge) + "_" + name;
  }
};

// Varied conversions on two modules (the driver's first pass waits half a second per module, and
// kavri-bench runs for 3 s): a linear gauge on 2 bytes beside a type 15 gauge on 4 bytes, whose
// negative minimum and negative value must cross the bus and the simulator link with their sign;
// and a 16-bit split needle (type 17: tenths, so 300 shows as 3000), gauge 2 left undriven since
// the split's high byte is its position.
const std::vector<BenchModule> BENCH = {
    {"vitesse",
     12,
     {{"gauge1_type", 2},
      {"gauge1_offset", 0x0BC0},
      {"gauge1_offset_length", 2},
      {"gauge1_course_min", 10},
      {"gauge1_course_max", 200},
      {"gauge1_sim_max", 1900},
      {"gauge2_type", 15},
      {"gauge2_offset", 0x3320},
      {"gauge2_offset_length", 4},
      {"gauge2_course_min", 20},
      {"gauge2_course_max", 220},
      {"gauge2_sim_min", -100},
      {"gauge2_sim_max", 100}},
     {{1, "1234"}, {2, "-40"}}},
    {"cap",
     7,
     {{"gauge1_type", 17},
      {"gauge1_offset", 0x0578},
      {"gauge1_offset_length", 4},
      {"gauge1_course_max", 255}},
     {{1, "300"}}},
};

std::string modules_file() {
  std::string text;
  for (const BenchModule& m : BENCH) {
    text += "[" + std::string(m.group) + "]\r\naddress = " + std::to_string(m.address) + "\r\n";
    for (const auto& [name, value] : m.fields) {
      text += name + " = " + std::to_string(value) + "\r\n";
    }
  }
  return text;
}

// The same configuration as a ".jcf" file: lists hold the type's index (type - 1), boxes 0 or 1.
std::string gauge_config_file(const BenchModule& m) {
  std::string text = "[" + std::string(GAUGE_CONFIG_GROUP) + "]\r\n";
  for (Param param : gauge_config_order()) {
    const ParamInfo& info = param_info(param);
    std::int64_t value = m.field(info.name);
    if (info.kind == ParamKind::inversion_box) value = value != 0 ? 1 : 0;
    if (info.kind == ParamKind::type_list) value -= 1;
    text += std::string(info.jcf_key) + " = " + std::to_string(value) + "\r\n";
  }
  return text;
}

// Waits (bounded) until kavri-sim says it serves; false if it ends or stays silent.
bool wait_until_serving(Child& sim, const std::string& err_path) {
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  while (read_file(err_path).find("serving in") == std::string::npos) {
    if (!sim.running() || std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

using PositionKey = std::pair<int, int>;  // (module address, CMD_SET_POSITION_1 or _2)

// The data byte of the last position report to each module after the exploration ended.
std::map<PositionKey, int> last_positions(const std::string& trace) {
  std::map<PositionKey, int> positions;
  std::istringstream lines(trace);
  std::string line;
  bool explored = false;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string ms, direction;
    fields >> ms >> direction;
    BusReport bytes{};
    for (auto& byte : bytes) {
      std::string hex;
      fields >> hex;
      byte = static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16));
    }
    if (direction == "<" && bytes[1] == RSP_EXPLORATION_DONE) explored = true;
    if (explored && direction == ">" &&
        (bytes[1] == CMD_SET_POSITION_1 || bytes[1] == CMD_SET_POSITION_2)) {
      positions[{bytes[2], bytes[1]}] = bytes[3];
    }
  }
  return positions;
}

TEST(GaugeEndToEnd, NeedlesStandWhereTheGaugeCalculatorPutsThem) {
  const ScratchDirectory dir;
  const std::string path = dir.path() + "/";
  write_file(path + "bus.ini", modules_file());

  std::vector<std::string> sim_args{KAVRI_SIM_PROGRAM};
  for (const BenchModule& m : BENCH) {
    for (const auto& [gauge, value] : m.values) {
      char place[16];
      std::snprintf(place, sizeof place, "$%04X:%d",
                    static_cast<unsigned>(m.field(m.gauge_field(gauge, "offset"))),
                    static_cast<int>(m.field(m.gauge_field(gauge, "offset_length"))));
      sim_args.insert(sim_args.end(), {"--set", place + std::string("=") + value});
    }
  }
  Child sim(sim_args, dir.path(), "sim-out.txt", "sim-err.txt");
  ASSERT_TRUE(sim.started());
  ASSERT_TRUE(wait_until_serving(sim, path + "sim-err.txt")) << read_file(path + "sim-err.txt");

  Child bench({KAVRI_BENCH_PROGRAM, "--headless", "--no-sim", "--modules", "bus.ini", "--trace",
               "trace.txt", "--run-for", "3"},
              dir.path(), "bench-out.txt", "bench-err.txt");
  ASSERT_TRUE(bench.started());
  ASSERT_EQ(bench.wait(120s), 0) << read_file(path + "bench-err.txt");
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.wait(30s), 0) << read_file(path + "sim-err.txt");

  std::map<PositionKey, int> expected;
  for (const BenchModule& m : BENCH) {
    const std::string config = path + m.group + ".jcf";
    write_file(config, gauge_config_file(m));
    for (const auto& [gauge, value] : m.values) {
      Child calculator(
          {KAVRI_GAUGE_PROGRAM, "--config", config, "--gauge", std::to_string(gauge), value},
          dir.path(), "gauge-out.txt", "gauge-err.txt");
      ASSERT_EQ(calculator.wait(60s), 0) << read_file(path + "gauge-err.txt");
      // One byte, or for a split type the low byte then the high byte.
      std::istringstream shown(read_file(path + "gauge-out.txt"));
      int low = -1, high = -1;
      shown >> low;
      ASSERT_GE(low, 0) << m.group << " gauge " << gauge;
      if (gauge == 2) {
        expected[{m.address, CMD_SET_POSITION_2}] = low;
      } else {
        expected[{m.address, CMD_SET_POSITION_1}] = low;
        if (shown >> high) expected[{m.address, CMD_SET_POSITION_2}] = high;
      }
    }
  }
  EXPECT_EQ(expected.size(), 4u);  // every needle of the bench is driven
  EXPECT_EQ(last_positions(read_file(path + "trace.txt")), expected);
}

}  // namespace
}  // namespace kavri
