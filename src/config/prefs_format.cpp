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

}  // namespace

std::vector<PrefsEntry> parse_prefs_text(std::string_view text) {
  std::vector<PrefsEntry> entries;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    if (!line.empty()) entries.push_back(parse_line(line));
  }
  return entries;
}

std::string format_prefs_text(const std::vector<PrefsEntry>& entries, bool utf8) {
  std::size_t size = utf8 ? UTF8_MARK.size() + 2 : 0;
  for (const PrefsEntry& e : entries) size += e.name.size() + e.value.size() + 5;
  std::string text;
  text.reserve(size);
  if (utf8) {
    text += UTF8_MARK;
    text += "\r\n";
  }
  for (const PrefsEntry& e : entries) append_prefs_line(text, e);
  return text;
}

void append_prefs_line(std::string& text, const PrefsEntry& entry) {
  switch (entry.kind) {
    case PrefsEntry::Kind::group:
      text += '[';
      text += entry.name;
      text += ']';
      break;
    case PrefsEntry::Kind::comment:
      text += "; ";
      text += entry.name;
      break;
    case PrefsEntry::Kind::key:
      text += entry.name;
      text += " = ";
      text += entry.value;
      break;
  }
  text += "\r\n";
}

}  // namespace kavri
