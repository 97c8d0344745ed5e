#include "config/gauge_config.h"

#include <array>
#include <cstdint>

#include "base/number_text.h"
#include "config/ascii_names.h"
#include "config/prefs.h"

namespace kavri {

namespace {

constexpr std::array<GaugeConfigKey, 28> KEYS = {{
    {"String_Crs_mini1", false, 19, "gauge1_course_min"},
    {"String_Crs_mini2", false, 22, "gauge2_course_min"},
    {"String_crs_maxi1", false, 20, "gauge1_course_max"},
    {"String_crs_maxi2", false, 23, "gauge2_course_max"},
    {"String_Crs_mini_FS_1", false, 36, "gauge1_sim_min"},
    {"String_Crs_mini_FS_2", false, 37, "gauge2_sim_min"},
    {"String_Crs_maxi_FS_1", false, 38, "gauge1_sim_max"},
    {"String_Crs_maxi_FS_2", false, 39, "gauge2_sim_max"},
    {"String_offset1", false, 33, "gauge1_offset"},
    {"String_offset2", false, 35, "gauge2_offset"},
    {"String_Loffset1", false, 46, "gauge1_offset_length"},
    {"String_Loffset2", false, 47, "gauge2_offset_length"},
    {"Combo_1_type", true, 29, "gauge1_type"},
    {"Combo_2_type", true, 52, "gauge2_type"},
    {"CheckBox_invert_1", true, 24, "gauge1_inverted"},
    {"CheckBox_invert_2", true, 25, "gauge2_inverted"},
    {"String_OffsetOut1", false, 71, "output1_offset"},
    {"String_OffsetOut2", false, 72, "output2_offset"},
    {"String_LOffsetOut1", false, 73, "output1_offset_length"},
    {"String_LOffsetOut2", false, 74, "output2_offset_length"},
    {"Combo_Type_Out1", true, 75, "output1_type"},
    {"Combo_Type_Out2", true, 76, "output2_type"},
    {"CheckBox_inversion_OUT1", true, 85, "output1_inverted"},
    {"CheckBox_inversion_OUT2", true, 86, "output2_inverted"},
    {"String_OffsetAN1", false, 78, "analog_offset"},
    {"String_LOffsetAN1", false, 79, "analog_offset_length"},
    {"Combo_TypeAN1", true, 80, "analog_type"},
    {"String_ANParam1", false, 81, "analog_param"},
}};

// The key names tell the control kinds apart: state rows are lists or check boxes.
bool is_check_box(const GaugeConfigKey& row) { return row.key.starts_with("CheckBox_"); }

FileDialogSpec dialog(std::string title) {
  return {std::move(title), "..", "Jauge.jcf", "Kavri jauge config.(*.jcf)", "*.jcf"};
}

}  // namespace

std::span<const GaugeConfigKey> gauge_config_keys() { return KEYS; }

void export_gauge_config(Toolkit& ui) {
  const std::string path = ui.choose_file(dialog("Exporte la configuration"));
  if (path.empty()) return;
  Prefs prefs;
  if (!prefs.open(path)) prefs.create(path);
  prefs.select_group(GAUGE_CONFIG_GROUP);
  for (const GaugeConfigKey& row : KEYS) {
    if (!row.is_state) {
      prefs.write_string(row.key, ui.text(row.control));
    } else if (is_check_box(row)) {
      prefs.write_int(row.key, ui.value(row.control) != 0 ? 1 : 0);
    } else {
      prefs.write_int(row.key, ui.selection(row.control));
    }
  }
  prefs.close();
}

void import_gauge_config(Toolkit& ui) {
  const std::string path = ui.choose_file(dialog("Importe la configuration"));
  if (path.empty()) return;
  Prefs prefs;
  if (!prefs.open(path)) {
    ui.message_box("Erreur", "Le fichier " + path + " n'existe pas ?");
    return;
  }
  prefs.select_group(GAUGE_CONFIG_GROUP);
  for (const GaugeConfigKey& row : KEYS) {
    const std::string text = prefs.read_string(row.key, "");
    if (!row.is_state) {
      ui.set_text(row.control, text);
      continue;
    }
    const std::int64_t state = parse_number_text(text);
    if (is_check_box(row)) {
      ui.set_value(row.control, state != 0 ? 1 : 0);
    } else {
      // An index outside the list's entries (-1 included) leaves the list with no selection
      // rather than some other entry, whatever the toolkit would make of it.
      const bool listed = state >= 0 && state < ui.item_count(row.control);
      ui.set_selection(row.control, listed ? static_cast<int>(state) : -1);
    }
  }
  prefs.close();
}

std::optional<std::map<std::string, std::string>> read_gauge_config(const std::string& path) {
  Prefs prefs;
  if (!prefs.open(path)) return std::nullopt;
  std::map<std::string, std::string> values;
  prefs.select_group(GAUGE_CONFIG_GROUP);
  for (const std::string& key : prefs.keys()) {
    std::string name = key;
    for (const GaugeConfigKey& row : KEYS) {
      if (same_ascii_name(row.key, key)) name = row.key;
    }
    // read_string gives the first occurrence, the one that counts.
    values.emplace(std::move(name), prefs.read_string(key, ""));
  }
  return values;
}

}  // namespace kavri
