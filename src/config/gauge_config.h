// Gauge configuration files (".jcf"): a preferences file whose group "jauge" holds one module's
// configuration as key lines. This is the file format alone; which keys there are and what they
// mean is the module parameter table's (bus_model/module_params.h).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/file_problem.h"

namespace kavri {

inline constexpr std::string_view GAUGE_CONFIG_GROUP = "jauge";

// One key line of group "jauge": the key, spelled as the caller wants it written, and its text.
using GaugeConfigLine = std::pair<std::string_view, std::string>;

// Writes `lines` into group "jauge" of the file at `path`, creating the file when nothing is at
// the path, and updating an existing one in place: its other groups, keys and comments stay,
// and keys already present keep their place (in any letter case) and take the new values.
// False when the file was not written: it cannot be read (it is then left untouched, since
// its other content would be lost), created or written.
bool write_gauge_config(const std::string& path, std::span<const GaugeConfigLine> lines);

// What group "jauge" of a file holds for a list of keys.
struct GaugeConfigTexts {
  // One text per key, in the order of the keys, matched whatever the file's letter case (the
  // first occurrence counts); none for a key the file does not hold, which a reader must tell
  // from a key written with an empty value.
  std::vector<std::optional<std::string>> texts;
  // The file has the group and at least one of the keys: anything else is no gauge
  // configuration, and taking its empty texts as one would blank a whole module.
  bool found = false;
};

// nullopt when the file cannot be read; `problem`, when given, then tells why.
std::optional<GaugeConfigTexts> read_gauge_config(const std::string& path,
                                                  std::span<const std::string_view> keys);
std::optional<GaugeConfigTexts> read_gauge_config(const std::string& path,
                                                  std::span<const std::string_view> keys,
                                                  FileProblem& problem);

}  // namespace kavri
