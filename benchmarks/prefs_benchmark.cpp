// The preferences file on the paths that the driver runs most: the calibration reload of every
// module before each start of the transfer thread (one reading of "Calibrage.ini" for all the
// modules and gauges, on the main loop's thread), and one rewrite of that file; and the reading
// of large files a user may hand over: a ".jcf" and a bench modules file of 80,000 keys.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "bus_model/module_params.h"
#include "config/calibration_tables.h"
#include "config/gauge_config.h"
#include "config/prefs.h"
#include "testing/files.h"
#include "virtual/bench_modules_file.h"

namespace kavri {
namespace {

// A full calibration file: 51 modules, both gauges, every point of the three tables.
std::string full_calibration_file(const ScratchDirectory& dir) {
  const std::string path = dir.file("Calibrage.ini");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (CalibrationKind kind :
       {CalibrationKind::suction, CalibrationKind::oat, CalibrationKind::fuel}) {
    out << '[' << calibration_group(kind) << "]\r\n";
    for (int address = 0; address < 51; ++address) {
      for (int gauge = 0; gauge < 2; ++gauge) {
        for (std::size_t k = 0; k < calibration_point_keys(kind).size(); ++k) {
          out << calibration_key(kind, static_cast<int>(k), std::to_string(address), gauge) << " = "
              << (address + 7 * static_cast<int>(k)) % 256 << "\r\n";
        }
      }
    }
  }
  return path;
}

void BM_ReloadEveryModuleAndGauge(benchmark::State& state) {
  const ScratchDirectory dir;
  const std::string path = full_calibration_file(dir);
  auto tables = std::make_unique<CalibrationTables>();
  std::vector<CalibrationGauge> gauges;
  for (int module = 0; module < 51; ++module) {
    for (int gauge = 0; gauge < 2; ++gauge)
      gauges.push_back({module, std::to_string(module), gauge});
  }
  for (auto _ : state) {
    load_calibrations(*tables, gauges, path);
    benchmark::DoNotOptimize(tables->fuel_calibration[50][9].load());
  }
}
BENCHMARK(BM_ReloadEveryModuleAndGauge)->Unit(benchmark::kMillisecond);

// 80,000 keys: in one group "jauge" for a ".jcf"; in 20,000 groups of four for a modules file.
std::string large_file(const ScratchDirectory& dir, int groups) {
  const std::string path = dir.file(groups == 1 ? "large.jcf" : "large.ini");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const int keys_per_group = 80000 / groups;
  for (int g = 0; g < groups; ++g) {
    out << '[' << (groups == 1 ? std::string("jauge") : "module" + std::to_string(g)) << "]\r\n";
    for (int k = 0; k < keys_per_group; ++k) out << "key" << k << " = " << k << "\r\n";
  }
  return path;
}

void BM_ReadLargeGaugeConfig(benchmark::State& state) {
  const ScratchDirectory dir;
  const std::string path = large_file(dir, 1);
  for (auto _ : state) benchmark::DoNotOptimize(read_gauge_config(path, gauge_config_keys()));
}
BENCHMARK(BM_ReadLargeGaugeConfig)->Unit(benchmark::kMillisecond);

void BM_ReadLargeModulesFile(benchmark::State& state) {
  const ScratchDirectory dir;
  const std::string path = large_file(dir, 20000);
  for (auto _ : state) benchmark::DoNotOptimize(load_bench_modules(path));
}
BENCHMARK(BM_ReadLargeModulesFile)->Unit(benchmark::kMillisecond);

void BM_RewriteCalibrationFile(benchmark::State& state) {
  const ScratchDirectory dir;
  const std::string path = full_calibration_file(dir);
  int value = 0;
  for (auto _ : state) {
    Prefs prefs;
    prefs.open(path);
    prefs.select_group("OAT_NL");
    prefs.write_int("Pos0A12S0", ++value % 256);
    benchmark::DoNotOptimize(prefs.close());
  }
}
BENCHMARK(BM_RewriteCalibrationFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavri

BENCHMARK_MAIN();
