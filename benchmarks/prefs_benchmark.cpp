// The preferences file on the paths that the driver runs most: the calibration reload of every
// module before each start of the transfer thread (one open and parse of "Calibrage.ini" per
// module and gauge), and one rewrite of that file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "config/calibration_tables.h"
#include "config/prefs.h"
#include "testing/files.h"

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
  for (auto _ : state) {
    for (int module = 0; module < 51; ++module) {
      for (int gauge = 0; gauge < 2; ++gauge) {
        load_calibration(*tables, module, std::to_string(module), gauge, path);
      }
    }
    benchmark::DoNotOptimize(tables->fuel_calibration[50][9].load());
  }
}
BENCHMARK(BM_ReloadEveryModuleAndGauge)->Unit(benchmark::kMillisecond);

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
