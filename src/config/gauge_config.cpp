#include "config/gauge_config.h"

#include "config/prefs.h"

namespace kavri {

void write_gauge_config(const std::string& path, std::span<const GaugeConfigLine> lines) {
  Prefs prefs;
  if (!prefs.open(path)) prefs.create(path);
  prefs.select_group(GAUGE_CONFIG_GROUP);
  for (const auto& [key, text] : lines) prefs.write_string(key, text);
  prefs.close();
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
