#include "procedures/export_import.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "base/number_text.h"
#include "bus_model/module_params.h"
#include "config/gauge_config.h"
#include "procedures/parameter_window.h"

namespace kavri {
namespace {

// Asks for a ".jcf" file, starting where the user last was; "" when cancelled.
std::string choose_gauge_config(Toolkit& ui, std::string title, bool save, std::string& folder) {
  const std::string start = folder.empty() ? ui.documents_folder() : folder;
  const std::string path = ui.choose_file(
      {std::move(title), start, "Jauge.jcf", "Kavri jauge config.(*.jcf)", "*.jcf", save});
  if (!path.empty()) {
    // Read as UTF-8 on every platform: a narrow path would take the system code page on
    // Windows and spoil any accent.
    const std::u8string chosen(path.begin(), path.end());
    const std::u8string parent = std::filesystem::path(chosen).parent_path().u8string();
    folder.assign(parent.begin(), parent.end());
  }
  return path;
}

bool is_blank(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

// What a field shows, as its key line holds it: the text, the list's index or the box's state.
std::string field_text(const Toolkit& ui, const ParamInfo& info) {
  switch (info.kind) {
    case ParamKind::type_list:
      return format_decimal(ui.selection(param_control(info.param)));
    case ParamKind::inversion_box:
      return ui.value(param_control(info.param)) != 0 ? "1" : "0";
    default:
      break;
  }
  // A blank number would read back as nothing at all; the EEPROM write takes it as 0.
  const std::string text = ui.text(param_control(info.param));
  if (!is_blank(text)) return text;
  return info.kind == ParamKind::offset ? format_offset(0) : format_decimal(0);
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

void export_gauge_config(Toolkit& ui, std::string& folder) {
  // A save dialog: the export may well go to a new file.
  const std::string path = choose_gauge_config(ui, "Exporte la configuration", true, folder);
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

void import_gauge_config(Toolkit& ui, std::string& folder) {
  const std::string path = choose_gauge_config(ui, "Importe la configuration", false, folder);
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
  // A file may hold only some keys (a gauge's, say): the fields of the others stay as they are.
  const auto order = gauge_config_order();
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (config->texts[i]) set_field(ui, param_info(order[i]), *config->texts[i]);
  }
}

}  // namespace kavri
