#include "config/gauge_config.h"

#include "config/prefs.h"

namespace kavri {

bool write_gauge_config(const std::string& path, std::span<const GaugeConfigLine> lines) {
  Prefs prefs;
  const PrefsOpening opening = prefs.open_or_create(path);
  if (opening != PrefsOpening::opened && opening != PrefsOpening::created) return false;
  prefs.select_group(GAUGE_CONFIG_GROUP);
  for (const auto& [key, text] : lines) prefs.write_string(key, text);
  return prefs.close();
}

std::optional<std::vector<std::string>> read_gauge_config(const std::string& path,
                                                          std::span<const std::string_view> keys) {
  Prefs prefs;
  if (!prefs.open(path)) return std::nullopt;
  prefs.select_group(GAUGE_CONFIG_GROUP);
  std::vector<std::string> texts;
  texts.reserve(keys.size());
  for (std::string_view key : keys) texts.push_back(prefs.read_string(key, ""));
  prefs.close();
  return texts;
}

}  // namespace kavri
