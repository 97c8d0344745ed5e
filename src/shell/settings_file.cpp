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
  read.settings.link = prefs.read_string("link", "");
  read.settings.link_key_file = prefs.read_string("link_key_file", "");
  prefs.close();
  return read;
}

bool write_settings(const std::string& path, const Settings& settings) {
  Prefs prefs;
  if (!prefs.create(path)) return false;
  prefs.select_group("");
  prefs.write_int("backlight", settings.backlight);
  prefs.write_int("mode_reduit", settings.reduced_start);
  // Kept as they were read: the driver only reads them, so a run never loses the link.
  if (!settings.link.empty()) prefs.write_string("link", settings.link);
  if (!settings.link_key_file.empty()) prefs.write_string("link_key_file", settings.link_key_file);
  return prefs.close();
}

}  // namespace kavri
