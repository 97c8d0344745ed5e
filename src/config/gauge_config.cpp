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

std::optional<GaugeConfigTexts> read_gauge_config(const std::string& path,
                                                  std::span<const std::string_view> keys) {
  FileProblem problem = FileProblem::none;
  return read_gauge_config(path, keys, problem);
}

std::optional<GaugeConfigTexts> read_gauge_config(const std::string& path,
                                                  std::span<const std::string_view> keys,
                                                  FileProblem& problem) {
  Prefs prefs;
  if (!prefs.open(path)) {
    problem = prefs.problem();
    return std::nullopt;
  }
  prefs.select_group(GAUGE_CONFIG_GROUP);
  GaugeConfigTexts config;
  config.texts.reserve(keys.size());
  // A line break can never be part of a value: this default tells a missing key apart.
  constexpr std::string_view MISSING = "\n";
  for (std::string_view key : keys) {
    std::string text = prefs.read_string(key, MISSING);
    const bool missing = text == MISSING;
    config.found = config.found || !missing;
    config.texts.push_back(missing ? std::nullopt : std::optional(std::move(text)));
  }
  prefs.close();
  return config;
}

}  // namespace kavri
