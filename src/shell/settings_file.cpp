#include "shell/settings_file.h"

#include "config/prefs.h"

namespace kavri {

SettingsRead read_settings(const std::string& path) {
  SettingsRead read;
  Prefs prefs;
  if (!prefs.open(path)) {
    read.problem = prefs.problem();
    return read;
  }
  prefs.select_group("");
  read.settings.backlight = prefs.read_int("backlight", 0);
  read.settings.reduced_start = prefs.read_int("mode_reduit", 0);
  prefs.close();
  return read;
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
