// A ".jcf" gauge configuration from another computer or an older version, imported into the
// parameter window: every list shows one of its entries or none, every box is ticked or not,
// and what is exported then imported again shows the same (a blank number as the 0 it stands for,
// which is what the export writes for it).
#include <cstdio>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "bus_model/module_params.h"
#include "fuzz/fuzz_target.h"
#include "procedures/parameter_window.h"
#include "testing/editor_test_bench.h"

namespace kavri::fuzz {
namespace {

// Every field as the file holds it, checking that each state is one its control can show.
std::vector<std::string> fields(const HeadlessToolkit& ui) {
  std::vector<std::string> shown;
  for (const ParamInfo& info : param_infos()) {
    const int control = param_control(info.param);
    if (!is_state_kind(info.kind)) {
      const std::string text = ui.text(control);
      const bool blank = text.find_first_not_of(" \t") == std::string::npos;
      if (!blank) {
        shown.push_back(text);
      } else {
        shown.push_back(info.kind == ParamKind::offset ? format_offset(0) : format_decimal(0));
      }
      continue;
    }
    const int state =
        info.kind == ParamKind::inversion_box ? ui.value(control) : ui.selection(control);
    const int states = info.kind == ParamKind::inversion_box ? 2 : ui.item_count(control);
    expect(state >= -1 && state < states, "a field shows a state its control has");
    shown.push_back(std::to_string(state));
  }
  return shown;
}

}  // namespace

void fuzz_jcf_import(Bytes input) {
  static testing::EditorBench bench({12});
  static const bool opened = (bench.open_editor(1), true);
  (void)opened;
  const std::string imported = (bench.dir / "imported.jcf").string();
  const std::string exported = (bench.dir / "exported.jcf").string();
  testing::write_file(imported, std::string(as_text(input)));
  std::remove(exported.c_str());
  const auto press = [&](int button, const std::string& path) {
    bench.ui.queue_file_choice(path);
    bench.dispatch.control_handlers.at(button)();
  };
  press(ParameterControl::import_button, imported);
  const std::vector<std::string> shown = fields(bench.ui);
  press(ParameterControl::export_button, exported);
  press(ParameterControl::import_button, exported);
  expect(fields(bench.ui) == shown, "an exported configuration imports as it was");
}

}  // namespace kavri::fuzz
