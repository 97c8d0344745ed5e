// Gauge configuration files (".jcf"): one module's whole configuration but its bus address,
// saved from the parameter window's fields and loaded back into them. A ".jcf" file is a
// preferences file with the single group "jauge".
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ui/toolkit.h"

namespace kavri {

// One key of a ".jcf" file and the parameter window field it holds.
struct GaugeConfigKey {
  std::string_view key;           // "String_Crs_mini1", spelled exactly so
  bool is_state;                  // a list's selected index or a box's state; else a text
  int control;                    // the parameter window's control that shows the field
  std::string_view record_field;  // the module record field the control edits
};

// The 28 keys in the order of a new file.
std::span<const GaugeConfigKey> gauge_config_keys();

inline constexpr std::string_view GAUGE_CONFIG_GROUP = "jauge";

// "Exporte": asks for a file, then writes every field into its group "jauge", updating an
// existing file in place (its other groups, keys and comments stay). A cancelled dialog does
// nothing. Main thread.
void export_gauge_config(Toolkit& ui);

// "Importe": asks for a file and sets every field from it; only the controls change (no
// module, no record, no event). A missing key clears a text, sets a state to 0. A file that
// cannot be opened is reported ("Erreur") and changes nothing. Main thread.
void import_gauge_config(Toolkit& ui);

// The values of group "jauge" of a ".jcf" file by key (the known keys under their exact
// spelling whatever the file's letter case), or nullopt when the file cannot be opened.
std::optional<std::map<std::string, std::string>> read_gauge_config(const std::string& path);

}  // namespace kavri
