// kavri-gauge: for a gauge configuration (".jcf"), the position the transfer cycle would give
// each simulator value, pass after pass, without the simulator or the card running.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/number_text.h"
#include "base/platform_text.h"
#include "base/standard_options.h"
#include "base/text_excerpt.h"
#include "bus_model/module_config.h"
#include "bus_model/module_params.h"
#include "config/calibration_tables.h"
#include "config/file_access.h"
#include "config/gauge_config.h"
#include "engine/gauge_calculator.h"
#include "engine/gauge_curve.h"
#include "engine/gauge_plot_svg.h"

namespace {

constexpr const char* USAGE =
    "usage: kavri-gauge --config FILE [--gauge 1|2] [--calibration FILE --address N]\n"
    "                   [--glide N] [--battery N] VALUE...\n"
    "       kavri-gauge --config FILE [--gauge 1|2] [--calibration FILE --address N]\n"
    "                   [--glide N] [--battery N] --plot PICTURE.svg\n"
    "       kavri-gauge --help | --version\n"
    "Prints, for each VALUE (successive passes of one gauge), the position the module shows\n"
    "after the transfer cycle: one byte, or for gauge-1 16-bit types the low and high byte.\n"
    "With --plot, draws instead the position against the simulator value over the gauge's\n"
    "range, with the course limits, the inversion and the calibration points.\n"
    "  --config FILE       the gauge configuration (.jcf) of the module\n"
    "  --gauge 1|2         the gauge (default 1; for --plot, each driven gauge)\n"
    "  --plot PICTURE.svg  the picture to write (SVG)\n"
    "  --calibration FILE  calibration points file (Calibrage.ini), with --address\n"
    "  --address N         the module address whose points to use\n"
    "  --glide N           the glide-slope flag (default 0)\n"
    "  --battery N         the battery-master word (default 1)\n"
    "VALUE: a decimal number for an 8-byte offset; otherwise an integer ($hex, %binary\n"
    "allowed) of which the offset length's low bytes are kept (-1 on 2 bytes is 65535).\n";

constexpr kavri::ProgramUsage KAVRI_GAUGE{"kavri-gauge", USAGE};

int fail(const std::string& message) {
  std::cerr << "kavri-gauge: " << message << "\n";
  return 2;
}

struct Options {
  std::string config;
  std::optional<int> gauge;  // 1 when not given, except for a picture: every driven gauge
  std::optional<std::string> plot;
  std::optional<std::string> calibration;
  std::optional<std::string> address;
  std::int64_t glide = 0;
  std::int64_t battery = 1;
  std::vector<std::string> values;
};

// Parses the command line; false on a usage error.
bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--config" && has_value) {
      options.config = argv[++i];
    } else if (arg == "--gauge" && has_value) {
      const std::string_view gauge = argv[++i];
      if (gauge != "1" && gauge != "2") return false;
      options.gauge = gauge == "1" ? 1 : 2;
    } else if (arg == "--plot" && has_value) {
      options.plot = argv[++i];
      if (!options.plot->ends_with(".svg")) return false;
    } else if (arg == "--calibration" && has_value) {
      options.calibration = argv[++i];
    } else if (arg == "--address" && has_value) {
      options.address = argv[++i];
    } else if (arg == "--glide" && has_value) {
      options.glide = kavri::parse_number_text(argv[++i]);
    } else if (arg == "--battery" && has_value) {
      options.battery = kavri::parse_number_text(argv[++i]);
    } else if (arg.starts_with("--")) {
      return false;
    } else {
      options.values.emplace_back(arg);
    }
  }
  return !options.config.empty() && options.values.empty() == options.plot.has_value() &&
         options.calibration.has_value() == options.address.has_value();
}

// Draws the chosen gauge, or every driven gauge of the module, into options.plot.
int plot(const Options& options, const kavri::ModuleRecord& record,
         const kavri::CalibrationTables& tables, std::uint8_t glide, std::uint16_t battery) {
  std::vector<kavri::GaugeCurve> curves;
  std::string first_reason;  // why the first gauge asked for is not driven
  for (int gauge : {1, 2}) {
    if (options.gauge.value_or(gauge) != gauge) continue;
    const std::string reason =
        kavri::GaugeCalculator(record, tables, gauge, glide, battery).undriven_reason();
    if (reason.empty()) {
      curves.push_back(kavri::trace_gauge_curve(record, tables, gauge, glide, battery));
    } else if (first_reason.empty()) {
      first_reason = reason;
    }
  }
  if (curves.empty()) return fail(first_reason);
  const std::string title = std::filesystem::path(options.config).filename().string();
  // Written whole beside its place and renamed there: a reader never meets half a picture, and
  // anything but a regular file at the path (a FIFO, a device, a folder) is refused unopened.
  if (!kavri::replace_file(*options.plot, kavri::gauge_plot_svg(title, curves))) {
    return fail("cannot write the picture " + kavri::excerpt(*options.plot) +
                " (it must be a regular file that can be written)");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  kavri::use_console_text();
  if (const auto answer = kavri::answer_help_or_version(argc, argv, KAVRI_GAUGE)) return *answer;
  Options options;
  if (!parse(argc, argv, options)) return kavri::usage_error(KAVRI_GAUGE);

  kavri::FileProblem problem = kavri::FileProblem::none;
  const auto config = kavri::read_gauge_config(options.config, kavri::gauge_config_keys(), problem);
  if (!config) {
    return fail("the configuration file " + kavri::excerpt(options.config) + " " +
                std::string(kavri::file_problem_text(problem)));
  }
  if (!config->found) {
    return fail(kavri::excerpt(options.config) + " is not a gauge configuration (no [jauge] keys)");
  }
  // The record as an import into the parameter window followed by an EEPROM write would leave
  // it, with the ratios of the end of an exploration.
  kavri::ModuleRecord record;
  kavri::ModuleConfig gauge_config = kavri::config_of_record(record);
  kavri::apply_gauge_config_texts(gauge_config, config->texts);
  kavri::store_config(gauge_config, record);
  kavri::compute_ratio(record);

  // Both gauges' points: a picture may show both.
  kavri::CalibrationTables tables;
  if (options.calibration) {
    // A position computed without the points asked for would be a wrong answer given as right:
    // anything but a calibration file read whole ends the run.
    const std::string address = kavri::format_decimal(kavri::parse_number_text(*options.address));
    const kavri::CalibrationGauge gauges[] = {{0, address, 0}, {0, address, 1}};
    problem = kavri::read_calibrations(tables, gauges, *options.calibration);
    if (problem != kavri::FileProblem::none) {
      return fail("the calibration file " + kavri::excerpt(*options.calibration) + " " +
                  std::string(kavri::file_problem_text(problem)));
    }
  }
  const auto glide = static_cast<std::uint8_t>(options.glide);
  const auto battery = static_cast<std::uint16_t>(options.battery);
  if (options.plot) return plot(options, record, tables, glide, battery);

  kavri::GaugeCalculator calculator(record, tables, options.gauge.value_or(1), glide, battery);
  if (const std::string reason = calculator.undriven_reason(); !reason.empty()) {
    return fail(reason);
  }
  std::vector<double> values;
  for (const std::string& text : options.values) {
    const auto value = kavri::parse_simulator_value(text, calculator.offset_length());
    if (!value) return fail("not a number: \"" + kavri::excerpt(text) + "\"");
    values.push_back(*value);
  }
  for (double value : values) std::cout << calculator.pass(value) << "\n";
  return 0;
}
