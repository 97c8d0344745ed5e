#include "virtual/bench_modules_file.h"

#include <unordered_set>

#include "base/number_text.h"
#include "base/text_excerpt.h"
#include "config/ascii_names.h"
#include "config/file_problem.h"
#include "config/prefs.h"

namespace kavri {

namespace {

constexpr const char* kAddressKey = "address";
constexpr const char* kAnalogValueKey = "analog_value";

// Opens the file in `prefs`, read as every preferences file is (its encoding included), and
// gives its group names in order, or why the file is unusable as a bench.
Result<std::vector<std::string>> open_modules_file(Prefs& prefs, const std::string& path) {
  if (!prefs.open(path)) {
    return fail("Impossible de lire le fichier de modules " + excerpt(path) +
                std::string(file_problem_text_fr(prefs.problem())));
  }
  std::vector<std::string> names = prefs.group_names();
  std::unordered_set<std::string> seen;  // lower-case names
  for (const std::string& name : names) {
    // Groups are found whatever their letter case: two names that differ only by it are one.
    if (!seen.insert(ascii_lower(name)).second) {
      return fail("Le groupe [" + excerpt(name) + "] apparait deux fois dans " + excerpt(path));
    }
  }
  if (names.empty()) {
    return fail("Aucun module (aucun groupe) dans le fichier " + excerpt(path));
  }
  return names;
}

std::int64_t read_number(const Prefs& prefs, const char* key) {
  return parse_number_text(prefs.read_string(key, ""));
}

// Offsets are written as the parameter window shows them ($0BC0), everything else in decimal.
void write_number(Prefs& prefs, const char* key, bool is_offset, std::int64_t value) {
  if (is_offset) {
    prefs.write_string(key, format_offset(static_cast<std::uint16_t>(value)));
  } else {
    prefs.write_string(key, format_decimal(value));
  }
}

void write_if_changed(Prefs& prefs, const char* key, bool is_offset, std::int64_t value,
                      std::int64_t stored) {
  if (value != stored) write_number(prefs, key, is_offset, value);
}

bool is_offset(Param param) {
  return param == Param::gauge1_offset || param == Param::gauge2_offset ||
         param == Param::output1_offset || param == Param::output2_offset ||
         param == Param::analog_offset;
}

}  // namespace

Result<std::vector<VirtualModule>> load_bench_modules(const std::string& path) {
  Prefs prefs;
  const auto groups = open_modules_file(prefs, path);
  if (!groups) return fail(groups.error());
  std::vector<VirtualModule> modules;
  for (const auto& group : *groups) {
    prefs.select_group(group);
    VirtualModule module;
    module.address = static_cast<std::uint8_t>(read_number(prefs, kAddressKey) & 0xFF);
    for (const auto& info : param_infos()) {
      module.set_param(info.param, eeprom_value(info.param, read_number(prefs, info.name)));
    }
    module.analog_value = static_cast<std::uint16_t>(read_number(prefs, kAnalogValueKey) & 0xFFFF);
    modules.push_back(module);
  }
  return modules;
}

Status save_bench_modules(const std::string& path, const std::vector<VirtualModule>& modules) {
  Prefs prefs;
  const auto groups = open_modules_file(prefs, path);
  if (!groups) return fail(groups.error());
  if (groups->size() != modules.size()) {
    return fail("Le fichier de modules " + excerpt(path) + " ne compte plus un groupe par module");
  }
  for (std::size_t i = 0; i < modules.size(); ++i) {
    const VirtualModule& module = modules[i];
    prefs.select_group((*groups)[i]);
    write_if_changed(prefs, kAddressKey, false, module.address,
                     read_number(prefs, kAddressKey) & 0xFF);
    for (const auto& info : param_infos()) {
      write_if_changed(prefs, info.name, is_offset(info.param), module.param(info.param),
                       eeprom_value(info.param, read_number(prefs, info.name)));
    }
    write_if_changed(prefs, kAnalogValueKey, false, module.analog_value,
                     read_number(prefs, kAnalogValueKey) & 0xFFFF);
  }
  if (!prefs.close()) return fail("Impossible d'écrire le fichier de modules " + excerpt(path));
  return done();
}

namespace {

struct GaugeSetup {
  std::int64_t type, offset, offset_length, course_min, course_max, sim_min, sim_max;
};

void set_gauge(VirtualModule& m, int gauge, const GaugeSetup& g) {
  const bool first = gauge == 1;
  m.set_param(first ? Param::gauge1_type : Param::gauge2_type, g.type);
  m.set_param(first ? Param::gauge1_offset : Param::gauge2_offset, g.offset);
  m.set_param(first ? Param::gauge1_offset_length : Param::gauge2_offset_length, g.offset_length);
  m.set_param(first ? Param::gauge1_course_min : Param::gauge2_course_min, g.course_min);
  m.set_param(first ? Param::gauge1_course_max : Param::gauge2_course_max, g.course_max);
  m.set_param(first ? Param::gauge1_sim_min : Param::gauge2_sim_min, g.sim_min);
  m.set_param(first ? Param::gauge1_sim_max : Param::gauge2_sim_max, g.sim_max);
}

void set_output(VirtualModule& m, int output, std::int64_t offset, std::int64_t length,
                std::int64_t type) {
  const bool first = output == 1;
  m.set_param(first ? Param::output1_offset : Param::output2_offset, offset);
  m.set_param(first ? Param::output1_offset_length : Param::output2_offset_length, length);
  m.set_param(first ? Param::output1_type : Param::output2_type, type);
}

VirtualModule module_at(std::uint8_t address, const GaugeSetup& gauge1, const GaugeSetup& gauge2) {
  VirtualModule m;
  m.address = address;
  set_gauge(m, 1, gauge1);
  set_gauge(m, 2, gauge2);
  return m;
}

}  // namespace

std::vector<VirtualModule> demo_bench() {
  // Linear and trim-index needles, the lights on output 1, a potentiometer on the input.
  VirtualModule a =
      module_at(12, {2, 0x0BC0, 2, 0, 255, 0, 16383}, {15, 0x0BC2, 2, 0, 255, -16383, 16383});
  set_output(a, 1, 0x0D0C, 2, 1);
  a.set_param(Param::analog_offset, 0x66C0);
  a.set_param(Param::analog_offset_length, 2);
  a.set_param(Param::analog_type, 2);
  a.set_param(Param::analog_param, 16383);
  a.analog_value = 1000;

  // A 360-degree compass and the lights on output 2. The compass's 16-bit position takes both
  // position commands, so gauge 2 stays undriven (offset 0).
  VirtualModule b = module_at(20, {17, 0x0580, 4, 0, 255, 0, 359}, {2, 0, 2, 0, 255, 0, 16383});
  set_output(b, 2, 0x0D0C, 2, 1);

  // The two calibrated types: non-linear fuel over a narrowed course, non-linear OAT.
  VirtualModule c = module_at(33, {18, 0x0B7C, 4, 10, 240, 0, 0}, {14, 0x0E8C, 2, 0, 255, -50, 50});

  // Linear OAT and a flap indicator.
  VirtualModule d =
      module_at(41, {13, 0x0E8C, 2, 0, 200, -50, 50}, {1, 0x0BDC, 4, 0, 255, 0, 16383});

  return {a, b, c, d};
}

}  // namespace kavri
