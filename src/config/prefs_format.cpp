#include "config/prefs_format.h"

namespace kavri {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

PrefsEntry parse_line(std::string_view line) {
  if (line.front() == '[') {
    const std::size_t close = line.find(']');
    return {PrefsEntry::Kind::group,
            std::string(line.substr(1, close == line.npos ? close : close - 1)),
            {}};
  }
  if (line.front() == ';') {
    line.remove_prefix(1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return {PrefsEntry::Kind::comment, std::string(line), {}};
  }
  const std::size_t equals = line.find('=');
  std::size_t key_end = equals == line.npos ? line.size() : equals;
  // The line starts with a non-blank, so trimming keeps at least the key's first character.
  while (key_end > 1 && is_blank(line[key_end - 1])) --key_end;
  std::string_view value;
  if (equals != line.npos) {
    value = line.substr(equals + 1);
    while (!value.empty() && is_blank(value.front())) value.remove_prefix(1);
  }
  return {PrefsEntry::Kind::key, std::string(line.substr(0, key_end)), std::string(value)};
}

// Calls `take` with each line less its leading blanks, empty ones left out.
template <typename Take>
void for_each_line(std::string_view text, Take&& take) {
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    if (!line.empty()) take(line);
  }
}

}  // namespace

void for_each_prefs_entry(std::string_view text, const std::function<void(PrefsEntry&&)>& take) {
  for_each_line(text, [&take](std::string_view line) { take(parse_line(line)); });
}

std::vector<std::uint32_t> count_prefs_group_entries(std::string_view text) {
  std::vector<std::uint32_t> sizes(1, 0);
  for_each_line(text, [&sizes](std::string_view line) {
    if (line.front() == '[') {
      sizes.push_back(0);
    } else {
      ++sizes.back();
    }
  });
  return sizes;
}

std::vector<PrefsEntry> parse_prefs_text(std::string_view text) {
  std::vector<PrefsEntry> entries;
  for_each_prefs_entry(text, [&entries](PrefsEntry&& e) { entries.push_back(std::move(e)); });
  return entries;
}

void append_prefs_line(std::string& text, const PrefsEntry& entry) {
  append_prefs_line(text, entry.kind, entry.name, entry.value);
}

void append_prefs_line(std::string& text, PrefsEntry::Kind kind, std::string_view name,
                       std::string_view value) {
  switch (kind) {
    case PrefsEntry::Kind::group:
      text += '[';
      text += name;
      text += ']';
      break;
    case PrefsEntry::Kind::comment:
      text += "; ";
      text += name;
      break;
    case PrefsEntry::Kind::key:
      text += name;
      text += " = ";
      text += value;
      break;
  }
  text += "\r\n";
}

}  // namespace kavri
