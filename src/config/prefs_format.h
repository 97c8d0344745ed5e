// The text of a preferences file: how its lines become entries and how entries become lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavri {

struct PrefsEntry {
  enum class Kind { group, comment, key };
  Kind kind = Kind::key;
  std::string name;   // group name, comment text or key
  std::string value;  // keys only
};

// The UTF-8 byte order mark that switches a file into UTF-8 mode.
inline constexpr std::string_view UTF8_MARK = "\xEF\xBB\xBF";

// Splits `text` (the file without its byte order mark) into entries. CR and LF each end a line;
// lines empty once their leading blanks are skipped are dropped. "[" starts a group header
// (name up to the first "]"), ";" a comment (less one space after it), anything else is a key
// line: the key up to the first "=" less its trailing blanks, the value after it less its
// leading blanks. Any byte sequence parses.
std::vector<PrefsEntry> parse_prefs_text(std::string_view text);

// The same entries, each handed to `take` in file order as soon as it is read: a reader that
// sorts them into its own structure never holds a second copy of them all.
void for_each_prefs_entry(std::string_view text, const std::function<void(PrefsEntry&&)>& take);

// How many comments and keys each group of `text` holds, the keys before the first group
// first: a reader reserves room for each group at once, never twice its size.
std::vector<std::uint32_t> count_prefs_group_entries(std::string_view text);

// Appends the line of one entry, CR LF included.
void append_prefs_line(std::string& text, const PrefsEntry& entry);
void append_prefs_line(std::string& text, PrefsEntry::Kind kind, std::string_view name,
                       std::string_view value);

}  // namespace kavri
