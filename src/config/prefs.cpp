#include "config/prefs.h"

#include <optional>

#include "config/ascii_names.h"
#include "config/code_page.h"
#include "config/file_access.h"
#include "config/prefs_format.h"

namespace kavri {

namespace {

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// What "%d" reads: white space, an optional sign, decimal digits up to the first other
// character. Unsigned arithmetic keeps the low 32 bits of a longer number without overflow.
std::int32_t read_decimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint32_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

// A line break inside a stored text would split its line in the file.
std::string single_line(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

}  // namespace

struct Prefs::Impl {
  std::vector<PrefsEntry> entries;
  std::string path;
  bool has_file = false;    // opened or created: writes go to memory and to `path` at close
  bool remembered = false;  // the open failed: writes go to memory, close creates the file
  bool read_only = false;
  bool created = false;  // the file is to hold exactly `entries` at close
  bool utf8 = false;
  bool modified = false;
  std::optional<std::size_t> selected;  // index of the selected group's header
  std::optional<std::string> pending;   // a selected group that does not exist yet

  // The entries of the selected group: [first, last) between its header and the next one.
  std::size_t group_begin() const { return selected ? *selected + 1 : 0; }
  std::size_t group_end() const {
    std::size_t i = group_begin();
    while (i < entries.size() && entries[i].kind != PrefsEntry::Kind::group) ++i;
    return i;
  }

  // The first key of that name in the selected group.
  PrefsEntry* find_key(std::string_view key) {
    if (pending) return nullptr;
    for (std::size_t i = group_begin(), end = group_end(); i < end; ++i) {
      if (entries[i].kind == PrefsEntry::Kind::key && same_ascii_name(entries[i].name, key)) {
        return &entries[i];
      }
    }
    return nullptr;
  }
  const PrefsEntry* find_key(std::string_view key) const {
    return const_cast<Impl*>(this)->find_key(key);
  }

  std::string file_text() const {
    if (!utf8) return format_prefs_text(entries, false);
    std::vector<PrefsEntry> converted = entries;
    for (PrefsEntry& e : converted) {
      e.name = code_page_to_utf8(e.name);
      e.value = code_page_to_utf8(e.value);
    }
    return format_prefs_text(converted, true);
  }
};

Prefs::Prefs() : impl_(std::make_unique<Impl>()) {}

Prefs::~Prefs() { close(); }

bool Prefs::open(const std::string& path) {
  close();
  impl_->path = path;
  FileContents file = read_whole_file(path);
  if (file.access == FileAccess::none) {
    impl_->remembered = true;
    return false;
  }
  impl_->has_file = true;
  impl_->read_only = file.access == FileAccess::read_only;
  std::string_view text = file.bytes;
  if (text.starts_with(UTF8_MARK)) {
    impl_->utf8 = true;
    text.remove_prefix(UTF8_MARK.size());
  }
  impl_->entries = parse_prefs_text(text);
  if (impl_->utf8) {
    for (PrefsEntry& e : impl_->entries) {
      e.name = utf8_to_code_page(e.name);
      e.value = utf8_to_code_page(e.value);
    }
  }
  return true;
}

bool Prefs::create(const std::string& path) {
  close();
  if (!prepare_file_for_writing(path)) return false;
  impl_->path = path;
  impl_->has_file = true;
  impl_->created = true;
  return true;
}

bool Prefs::select_group(std::string_view name) {
  impl_->selected.reset();
  impl_->pending.reset();
  if (name.empty()) return true;
  for (std::size_t i = 0; i < impl_->entries.size(); ++i) {
    const PrefsEntry& e = impl_->entries[i];
    if (e.kind == PrefsEntry::Kind::group && same_ascii_name(e.name, name)) {
      impl_->selected = i;
      return true;
    }
  }
  impl_->pending = single_line(name);
  return false;
}

std::int32_t Prefs::read_int(std::string_view key, std::int32_t default_value) const {
  const PrefsEntry* e = impl_->find_key(key);
  return e ? read_decimal(e->value) : default_value;
}

std::string Prefs::read_string(std::string_view key, std::string_view default_value) const {
  const PrefsEntry* e = impl_->find_key(key);
  return std::string(e ? trim_blanks(e->value) : default_value);
}

std::vector<std::string> Prefs::keys() const {
  std::vector<std::string> names;
  if (impl_->pending) return names;
  for (std::size_t i = impl_->group_begin(), end = impl_->group_end(); i < end; ++i) {
    if (impl_->entries[i].kind == PrefsEntry::Kind::key) names.push_back(impl_->entries[i].name);
  }
  return names;
}

void Prefs::write_int(std::string_view key, std::int32_t value) {
  write_string(key, std::to_string(value));
}

void Prefs::write_string(std::string_view key, std::string_view value) {
  Impl& p = *impl_;
  if (!p.has_file && !p.remembered) return;
  p.modified = true;
  if (PrefsEntry* e = p.find_key(key)) {
    e->name = single_line(key);
    e->value = single_line(value);
    return;
  }
  if (p.pending) {
    p.entries.push_back({PrefsEntry::Kind::group, std::move(*p.pending), {}});
    p.selected = p.entries.size() - 1;
    p.pending.reset();
  }
  const auto at = p.entries.begin() + static_cast<std::ptrdiff_t>(p.group_end());
  p.entries.insert(at, {PrefsEntry::Kind::key, single_line(key), single_line(value)});
}

bool Prefs::close() {
  Impl& p = *impl_;
  bool kept = true;
  const bool must_write = p.modified || p.created;
  if (must_write && (p.has_file || p.remembered)) {
    kept = !p.read_only && replace_file(p.path, p.file_text());
  }
  *impl_ = Impl{};
  return kept;
}

}  // namespace kavri
