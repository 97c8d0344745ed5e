// The settings file "Kavri.ini": the backlight level and the reduced start, two integer keys
// at the top level, and the link to a relay when the simulator is on another computer. Read
// once at start-up, rewritten whole at a normal end.
#pragma once

#include <cstdint>
#include <string>

#include "config/file_problem.h"

namespace kavri {

struct Settings {
  std::int32_t backlight = 0;      // "backlight": the backlight slider's position
  std::int32_t reduced_start = 0;  // "mode_reduit": 1 starts with the main window minimised
  std::string link;                // "link": HOST:PORT of a kavri-relay; empty: the local link
  std::string link_key_file;       // "link_key_file": that relay's key
};

struct SettingsRead {
  Settings settings;
  // Why the file was not read (none when it was, missing when nothing is there). Any other
  // problem is a file that exists but cannot be read: the run's settings must not be saved
  // over it.
  FileProblem problem = FileProblem::none;
  bool unreadable() const {
    return problem != FileProblem::none && problem != FileProblem::missing;
  }
};

// A missing file or key gives 0, and so does a file that cannot be read.
SettingsRead read_settings(const std::string& path);

// Creates the file anew with exactly "backlight" then "mode_reduit", then "link" and
// "link_key_file" when they are set. False when it cannot be
// created or written, or when a file is there that cannot be read; a file that exists is then
// left as it was.
bool write_settings(const std::string& path, const Settings& settings);

}  // namespace kavri
