// The preferences file: the INI-style text format of "Kavri.ini", "Calibrage.ini" and the
// ".jcf" gauge configurations. One Prefs object holds one file for the span of one operation:
// open or create, select a group, read or write keys, close. The file on disk changes only
// at close, and a rewrite never leaves a truncated file behind (see replace_file). Groups and
// keys are found through an index, so reading a file of n keys takes time linear in n. A file
// is written back in the encoding it was read in (config/file_text.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_problem.h"

namespace kavri {

// What open_or_create found at a path.
enum class PrefsOpening {
  opened,       // an existing file, read whole
  created,      // nothing was at the path: an empty file has been created
  unreadable,   // a file exists that cannot be read: it is left alone, nothing will be written
  not_created,  // nothing was at the path, and no file can be created there
};

class Prefs {
 public:
  Prefs();
  ~Prefs();  // closes (as close())
  Prefs(const Prefs&) = delete;
  Prefs& operator=(const Prefs&) = delete;

  // prefs_open: closes the current file, reads `path` whole and parses it. A file that can be
  // read but not written is marked read-only (its changes are dropped at close). False when
  // the file cannot be read at all (problem() tells why). When nothing at all is at the path,
  // the path is then remembered and close creates the file; a file that exists but cannot be
  // read (not a regular file, not readable, larger than MAX_FILE_BYTES, UTF-16 that is no
  // text) is never written (its writes are dropped), so that what it holds is not lost.
  bool open(const std::string& path);
  // Why the last open failed; none after one that succeeded.
  FileProblem problem() const;
  // open, or create when nothing is at the path (never over an existing file).
  PrefsOpening open_or_create(const std::string& path);
  // prefs_create: closes the current file and starts an empty one at `path`. A missing file
  // is created empty now; an existing one is checked for writing now and replaced at close,
  // so a crash in between leaves its old content rather than an empty file. False when it
  // cannot be created or written, or when a file exists there that cannot be read (as open
  // would refuse it): later writes are then dropped.
  bool create(const std::string& path);
  // prefs_select_group: "" selects the keys before the first group (true). Otherwise the
  // first group of that name, any letter case (true); when there is none the name becomes
  // the pending group (false): reads give defaults, the first write appends the group.
  bool select_group(std::string_view name);
  // prefs_read_int: the value read as "%d" would (blanks, sign, digits; no digit gives 0);
  // the default when the key is missing from the selected group. A number beyond 32 bits
  // keeps its low 32 bits (as two's complement, sign applied): "4294967297" reads 1.
  std::int32_t read_int(std::string_view key, std::int32_t default_value) const;
  // prefs_read_string: the value less leading and trailing blanks and tabs, or the default.
  std::string read_string(std::string_view key, std::string_view default_value) const;
  // The names of the file's groups in file order, as spelled in the file, each occurrence.
  std::vector<std::string> group_names() const;
  // The keys of the selected group in file order, as spelled in the file (none for a pending
  // group).
  std::vector<std::string> keys() const;
  // prefs_write_int / prefs_write_string: replace the key's value in the selected group
  // (the key takes the caller's spelling) or add it after the group's last entry. A line
  // break (CR or LF) in a key or value is stored as a blank, so a value can never turn into
  // lines of its own. Dropped when no file is open and no path is remembered.
  void write_int(std::string_view key, std::int32_t value);
  void write_string(std::string_view key, std::string_view value);
  // prefs_close: writes the file back when something was written (and the file is not
  // read-only), then releases everything. Harmless when nothing is open. After create() the
  // file holds exactly the entries written, even none. False when changes were dropped
  // (read-only or unreadable file, file that could not be created or written); the old file
  // is then unchanged.
  bool close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavri
