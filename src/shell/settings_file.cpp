#include "shell/settings_file.h"

#include "config/prefs.h"

namespace kavri {

Settings read_settings(const std::string& path) {
  Settings settings;
  Prefs prefs;
  if (!prefs.open(path)) return settings;
  prefs.select_group("");
  settings.backlight = prefs.read_int("backlight", 0);
  settings.reduced_start = prefs.read_int("mode_reduit", 0);
  prefs.close();
  return settings;
}

bool write_settings(const std::string& path, const Settings& settings) {
  Prefs prefs;
  if (!prefs.create(path)) return false;
  prefs.select_group("");
  prefs.write_int("backlight", settings.backlight);
  prefs.write_int("mode_reduit", settings.reduced_start);
  return prefs.close();
}

}  // namespace kavri
