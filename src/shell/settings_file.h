// The settings file "Kavri.ini": the backlight level and the reduced start, two integer keys
// at the top level. Read once at start-up, rewritten whole at a normal end.
#pragma once

#include <cstdint>
#include <string>

namespace kavri {

struct Settings {
  std::int32_t backlight = 0;      // "backlight": the backlight slider's position
  std::int32_t reduced_start = 0;  // "mode_reduit": 1 starts with the main window minimised
};

// A missing file or key gives 0.
Settings read_settings(const std::string& path);

// Creates the file anew with exactly "backlight" then "mode_reduit". False when it cannot be
// created or written; a file that exists is then left as it was.
bool write_settings(const std::string& path, const Settings& settings);

}  // namespace kavri
