#include "procedures/export_import.h"

#include <cstdint>
#include <string>

#include "base/number_text.h"
#include "bus_model/module_params.h"
#include "config/gauge_config.h"
#include "procedures/parameter_window.h"

namespace kavri {
namespace {

FileDialogSpec dialog(std::string title, bool save) {
  return {std::move(title), "..", "Jauge.jcf", "Kavri jauge config.(*.jcf)", "*.jcf", save};
}

// What a field shows, as its key line holds it: the text, the list's index or the box's state.
std::string field_text(const Toolkit& ui, const ParamInfo& info) {
  switch (info.kind) {
    case ParamKind::type_list:
      return format_decimal(ui.selection(param_control(info.param)));
    case ParamKind::inversion_box:
      return ui.value(param_control(info.param)) != 0 ? "1" : "0";
    default:
      return ui.text(param_control(info.param));
  }
}

void set_field(Toolkit& ui, const ParamInfo& info, const std::string& text) {
  if (!is_state_kind(info.kind)) {
    ui.set_text(param_control(info.param), text);
    return;
  }
  const std::int64_t state = parse_number_text(text);
  if (info.kind == ParamKind::inversion_box) {
    ui.set_value(param_control(info.param), state != 0 ? 1 : 0);
    return;
  }
  // An index outside the list's entries (-1 included) leaves the list with no selection
  // rather than some other entry, whatever the toolkit would make of it.
  const bool listed = state >= 0 && state < ui.item_count(param_control(info.param));
  ui.set_selection(param_control(info.param), listed ? static_cast<int>(state) : -1);
}

}  // namespace

void export_gauge_config(Toolkit& ui) {
  // A save dialog: the export may well go to a new file.
  const std::string path = ui.choose_file(dialog("Exporte la configuration", true));
  if (path.empty()) return;
  std::vector<GaugeConfigLine> lines;
  for (Param param : gauge_config_order()) {
    const ParamInfo& info = param_info(param);
    lines.emplace_back(info.jcf_key, field_text(ui, info));
  }
  if (!write_gauge_config(path, lines)) {
    ui.message_box("Erreur", "Je ne peux pas écrire la configuration dans le fichier " + path);
  }
}

void import_gauge_config(Toolkit& ui) {
  const std::string path = ui.choose_file(dialog("Importe la configuration", false));
  if (path.empty()) return;
  const auto config = read_gauge_config(path, gauge_config_keys());
  if (!config) {
    ui.message_box("Erreur", "Le fichier " + path + " n'existe pas ?");
    return;
  }
  // Any file may be chosen: one that holds none of the keys would blank every field, and an
  // EEPROM write would then put that into the module.
  if (!config->found) {
    ui.message_box("Erreur", "Le fichier " + path + " n'est pas une configuration de jauge");
    return;
  }
  const auto order = gauge_config_order();
  for (std::size_t i = 0; i < order.size(); ++i) {
    set_field(ui, param_info(order[i]), config->texts[i]);
  }
}

}  // namespace kavri
