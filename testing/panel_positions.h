// The driver's needles against kavri-gauge, for the end-to-end tests of the bridges: a run of
// kavri-bench on a panel fed by a bridge that printed each datagram's offsets (--print) must
// show, on every gauge, positions that kavri-gauge computes for those values, ending on the
// last one's.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bus_model/gauge_types.h"
#include "bus_model/module_params.h"
#include "config/gauge_config.h"
#include "device/bus_messages.h"
#include "testing/process.h"
#include "virtual/bench_modules_file.h"

namespace kavri::testing {

struct PanelPrograms {
  std::string gauge;        // kavri-gauge
  std::string calibration;  // the panel's Calibrage.ini
  std::string work_dir;     // where the modules' .jcf files go
};

using Gauge = std::pair<int, int>;  // (module address, gauge 1 or 2)

// The position reports after the exploration, by gauge: bytes, or "low high" for the gauges 1
// of the modules at `split` addresses (both commands carry their 16-bit position). A cut last
// line is skipped.
inline std::map<Gauge, std::vector<std::string>> reported(const std::string& trace,
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
inline std::string value_in(const std::string& printed, std::uint32_t offset,
                            std::uint32_t length) {
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
inline void write_jcf(const std::string& path, const VirtualModule& module) {
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
inline std::vector<std::string> gauge_positions(const PanelPrograms& programs,
                                                const std::string& jcf, int gauge, int address,
                                                int battery,
                                                const std::vector<std::string>& values) {
  std::vector<std::string> args{programs.gauge, "--calibration", programs.calibration};
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
inline bool is_subsequence(const std::vector<std::string>& shown,
                           const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& s : shown) {
    while (at < expected.size() && expected[at] != s) ++at;
    if (at == expected.size()) return false;
    ++at;
  }
  return true;
}

// Compares every gauge of `modules` over the run (see above), under the battery word 0x281C of
// each printed line; the number of gauges compared.
inline int expect_needles_follow(const std::vector<VirtualModule>& modules,
                                 const std::vector<std::string>& printed, const std::string& trace,
                                 const PanelPrograms& programs) {
  std::set<int> split;
  for (const VirtualModule& m : modules) {
    if (is_split_type(static_cast<int>(m.param(Param::gauge1_type)))) split.insert(m.address);
  }
  const auto shown_by_gauge = reported(trace, split);
  int gauges = 0;
  for (const VirtualModule& m : modules) {
    const std::string jcf = programs.work_dir + "/module" + std::to_string(m.address) + ".jcf";
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
      const auto on = gauge_positions(programs, jcf, gauge, m.address, 1, values);
      const auto off = gauge_positions(programs, jcf, gauge, m.address, 0, values);
      std::vector<std::string> expected;
      for (std::size_t i = 0; i < on.size() && i < off.size(); ++i) {
        expected.push_back(batteries[i] == "0" ? off[i] : on[i]);
      }
      const auto shown = shown_by_gauge.count({m.address, gauge})
                             ? shown_by_gauge.at({m.address, gauge})
                             : std::vector<std::string>{};
      EXPECT_FALSE(shown.empty()) << "module " << m.address << " gauge " << gauge;
      if (shown.empty()) continue;
      EXPECT_TRUE(is_subsequence(shown, expected)) << "module " << m.address << " gauge " << gauge;
      EXPECT_EQ(shown.back(), expected.back()) << "module " << m.address << " gauge " << gauge;
      ++gauges;
    }
  }
  return gauges;
}

}  // namespace kavri::testing
