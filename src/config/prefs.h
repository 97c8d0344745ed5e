// The preferences file: the INI-style text format of "Kavri.ini", "Calibrage.ini" and the
// ".jcf" gauge configurations. One Prefs object holds one file for the span of one operation:
// open or create, select a group, read or write keys, close. The file on disk changes only
// at close, and a rewrite never leaves a truncated file behind (it is written beside and then
// renamed over the old one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kavri {

class Prefs {
 public:
  Prefs();
  ~Prefs();  // closes (as close())
  Prefs(const Prefs&) = delete;
  Prefs& operator=(const Prefs&) = delete;

  // prefs_open: closes the current file, reads `path` whole and parses it. A file that can be
  // read but not written is marked read-only (its changes are dropped at close). False when
  // the file cannot be read at all; the path is then remembered and close creates it.
  bool open(const std::string& path);
  // prefs_create: closes the current file and starts an empty one at `path` (created or
  // emptied on disk now). False when it cannot be created; later writes are then dropped.
  bool create(const std::string& path);
  // prefs_select_group: "" selects the keys before the first group (true). Otherwise the
  // first group of that name, any letter case (true); when there is none the name becomes
  // the pending group (false): reads give defaults, the first write appends the group.
  bool select_group(std::string_view name);
  // prefs_read_int: the value read as "%d" would (blanks, sign, digits; no digit gives 0);
  // the default when the key is missing from the selected group.
  std::int32_t read_int(std::string_view key, std::int32_t default_value) const;
  // prefs_read_string: the value less leading and trailing blanks and tabs, or the default.
  std::string read_string(std::string_view key, std::string_view default_value) const;
  // prefs_write_int / prefs_write_string: replace the key's value in the selected group
  // (the key takes the caller's spelling) or add it after the group's last entry.
  void write_int(std::string_view key, std::int32_t value);
  void write_string(std::string_view key, std::string_view value);
  // prefs_close: writes the file back when something was written (and the file is not
  // read-only), then releases everything. Harmless when nothing is open.
  void close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavri
