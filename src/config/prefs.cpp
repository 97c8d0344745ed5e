#include "config/prefs.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "config/ascii_names.h"
#include "config/file_access.h"
#include "config/file_text.h"
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

// True when nothing at all (no file, no link, no device) is at `path`: only then may a file be
// created there without destroying something that merely could not be read.
bool nothing_at(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  return status.type() == std::filesystem::file_type::not_found;
}

// Places (of names kept elsewhere) sorted by name in any letter case, the first place of a name
// first: four bytes per name, where a hash table of lower-case copies would take tens.
class NameIndex {
 public:
  // Adds places in increasing order, then sort() makes the index of them.
  void push(std::size_t place) { places_.push_back(static_cast<std::uint32_t>(place)); }
  template <typename NameAt>
  void sort(const NameAt& name_at) {
    std::stable_sort(places_.begin(), places_.end(), [&](std::uint32_t a, std::uint32_t b) {
      return ascii_name_less(name_at(a), name_at(b));
    });
  }
  // The first place of `name`, if any.
  template <typename NameAt>
  std::optional<std::size_t> find(std::string_view name, const NameAt& name_at) const {
    const auto at = std::lower_bound(places_.begin(), places_.end(), name,
                                     [&](std::uint32_t place, std::string_view n) {
                                       return ascii_name_less(name_at(place), n);
                                     });
    if (at == places_.end() || !same_ascii_name(name_at(*at), name)) return std::nullopt;
    return *at;
  }
  // Adds a place that comes after all others, so after those of the same name.
  template <typename NameAt>
  void add(std::size_t place, const NameAt& name_at) {
    const auto at = std::upper_bound(places_.begin(), places_.end(), name_at(place),
                                     [&](std::string_view n, std::uint32_t other) {
                                       return ascii_name_less(n, name_at(other));
                                     });
    places_.insert(at, static_cast<std::uint32_t>(place));
  }

 private:
  std::vector<std::uint32_t> places_;
};

// One comment or key line as kept in memory: its name and value in one string, a few tens of
// bytes a line where two strings would take twice that.
class StoredEntry {
 public:
  explicit StoredEntry(PrefsEntry&& e)
      : kind_(e.kind),
        name_size_(static_cast<std::uint32_t>(e.name.size())),
        text_(std::move(e.name)) {
    text_ += e.value;
  }
  PrefsEntry::Kind kind() const { return kind_; }
  std::string_view name() const { return std::string_view(text_).substr(0, name_size_); }
  std::string_view value() const { return std::string_view(text_).substr(name_size_); }
  void set(std::string_view name, std::string_view value) {
    text_.assign(name).append(value);
    name_size_ = static_cast<std::uint32_t>(name.size());
  }

 private:
  PrefsEntry::Kind kind_;
  std::uint32_t name_size_;
  std::string text_;
};

// The entries under one group header (or, for the first group, before any header), with an
// index of their keys built on the first search. Kept small: a file may hold millions of
// group lines, most of them never searched.
struct PrefsGroup {
  std::optional<std::string> header;     // the group's name; none for the keys before the first
  std::vector<StoredEntry> entries;      // comments and keys, in file order
  std::unique_ptr<NameIndex> key_index;  // the places of the keys in `entries`, once searched

  std::string_view name_at(std::size_t i) const { return entries[i].name(); }

  StoredEntry* find_key(std::string_view key) {
    const auto name = [this](std::size_t i) { return name_at(i); };
    if (!key_index) {
      key_index = std::make_unique<NameIndex>();
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind() == PrefsEntry::Kind::key) key_index->push(i);
      }
      key_index->sort(name);
    }
    const auto found = key_index->find(key, name);
    return found ? &entries[*found] : nullptr;
  }
  void append(PrefsEntry&& entry) {
    const bool key = entry.kind == PrefsEntry::Kind::key;
    entries.emplace_back(std::move(entry));
    if (key_index && key)
      key_index->add(entries.size() - 1, [this](std::size_t i) { return name_at(i); });
  }
};

}  // namespace

struct Prefs::Impl {
  std::vector<PrefsGroup> groups = std::vector<PrefsGroup>(1);  // [0]: the keys of no group
  // The places of the named groups in `groups`, once a group has been searched for by name.
  std::optional<NameIndex> group_index;
  std::string path;
  bool has_file = false;    // opened or created: writes go to memory and to `path` at close
  bool remembered = false;  // nothing was at the path: writes go to memory, close creates it
  bool read_only = false;
  bool created = false;  // the file is to hold exactly the entries at close
  FileEncoding encoding = FileEncoding::code_page;
  bool modified = false;
  bool dropped = false;                     // a write had no file to go to
  FileProblem problem = FileProblem::none;  // why the last open failed
  std::size_t selected = 0;                 // the selected group (0: no group)
  std::optional<std::string> pending;       // a selected group that does not exist yet

  std::string_view group_name_at(std::size_t i) const { return *groups[i].header; }

  void add_group(std::string name) {
    groups.emplace_back().header = std::move(name);
    if (group_index) {
      group_index->add(groups.size() - 1, [this](std::size_t i) { return group_name_at(i); });
    }
  }

  // The first group of that name, in any letter case.
  std::optional<std::size_t> find_group(std::string_view name) {
    const auto group_name = [this](std::size_t i) { return group_name_at(i); };
    if (!group_index) {
      group_index.emplace();
      for (std::size_t i = 1; i < groups.size(); ++i) group_index->push(i);
      group_index->sort(group_name);
    }
    return group_index->find(name, group_name);
  }

  // Puts an entry as read into its group.
  void take_entry(PrefsEntry&& e, const std::vector<std::uint32_t>& sizes) {
    if (e.kind == PrefsEntry::Kind::group) {
      add_group(std::move(e.name));
      groups.back().entries.reserve(sizes[groups.size() - 1]);
    } else {
      groups.back().entries.emplace_back(std::move(e));
    }
  }

  StoredEntry* find_key(std::string_view key) {
    return pending ? nullptr : groups[selected].find_key(key);
  }

  // The file's bytes, in the encoding it was read in (or UTF-8, should its code page lack a
  // character that it now holds).
  std::string file_bytes() {
    std::string text;
    for (const PrefsGroup& group : groups) {
      if (group.header) append_prefs_line(text, PrefsEntry::Kind::group, *group.header, {});
      for (const StoredEntry& e : group.entries)
        append_prefs_line(text, e.kind(), e.name(), e.value());
    }
    return encode_file_text(text, encoding);
  }
};

Prefs::Prefs() : impl_(std::make_unique<Impl>()) {}

Prefs::~Prefs() { close(); }

bool Prefs::open(const std::string& path) {
  close();
  impl_->path = path;
  FileContents file = read_whole_file(path);
  if (file.access == FileAccess::none) {
    impl_->remembered = nothing_at(path);
    impl_->problem = file.problem;
    return false;
  }
  // Bytes that are not text of their encoding are a file that cannot be read, and that is
  // left as it is.
  const std::optional<FileText> text = decode_file_text(file.bytes);
  std::string().swap(file.bytes);  // the text is all that is needed from here on
  if (!text) {
    impl_->problem = FileProblem::not_text;
    return false;
  }
  impl_->has_file = true;
  impl_->read_only = file.access == FileAccess::read_only;
  impl_->encoding = text->encoding;
  // Entries go to their groups as they are read, never all at once in a list of their own.
  const std::vector<std::uint32_t> sizes = count_prefs_group_entries(text->text);
  impl_->groups.reserve(sizes.size());
  impl_->groups[0].entries.reserve(sizes[0]);
  for_each_prefs_entry(text->text,
                       [this, &sizes](PrefsEntry&& e) { impl_->take_entry(std::move(e), sizes); });
  return true;
}

PrefsOpening Prefs::open_or_create(const std::string& path) {
  if (open(path)) return PrefsOpening::opened;
  if (!impl_->remembered) return PrefsOpening::unreadable;
  return create(path) ? PrefsOpening::created : PrefsOpening::not_created;
}

bool Prefs::create(const std::string& path) {
  close();
  impl_->path = path;
  // What cannot be read cannot be known to be a preferences file: it is never replaced.
  if (!nothing_at(path) && !Prefs().open(path)) return false;
  if (!prepare_file_for_writing(path)) return false;
  impl_->has_file = true;
  impl_->created = true;
  return true;
}

bool Prefs::select_group(std::string_view name) {
  impl_->selected = 0;
  impl_->pending.reset();
  if (name.empty()) return true;
  if (const auto found = impl_->find_group(name)) {
    impl_->selected = *found;
    return true;
  }
  impl_->pending = single_line(name);
  return false;
}

std::int32_t Prefs::read_int(std::string_view key, std::int32_t default_value) const {
  const StoredEntry* e = impl_->find_key(key);
  return e ? read_decimal(e->value()) : default_value;
}

std::string Prefs::read_string(std::string_view key, std::string_view default_value) const {
  const StoredEntry* e = impl_->find_key(key);
  return std::string(e ? trim_blanks(e->value()) : default_value);
}

FileProblem Prefs::problem() const { return impl_->problem; }

std::vector<std::string> Prefs::group_names() const {
  std::vector<std::string> names;
  names.reserve(impl_->groups.size() - 1);
  for (std::size_t i = 1; i < impl_->groups.size(); ++i) names.push_back(*impl_->groups[i].header);
  return names;
}

std::vector<std::string> Prefs::keys() const {
  std::vector<std::string> names;
  if (impl_->pending) return names;
  for (const StoredEntry& e : impl_->groups[impl_->selected].entries) {
    if (e.kind() == PrefsEntry::Kind::key) names.emplace_back(e.name());
  }
  return names;
}

void Prefs::write_int(std::string_view key, std::int32_t value) {
  write_string(key, std::to_string(value));
}

void Prefs::write_string(std::string_view key, std::string_view value) {
  Impl& p = *impl_;
  if (!p.has_file && !p.remembered) {
    p.dropped = !p.path.empty();
    return;
  }
  p.modified = true;
  if (StoredEntry* e = p.find_key(key)) {
    e->set(single_line(key), single_line(value));
    return;
  }
  if (p.pending) {
    p.add_group(std::move(*p.pending));
    p.selected = p.groups.size() - 1;
    p.pending.reset();
  }
  p.groups[p.selected].append({PrefsEntry::Kind::key, single_line(key), single_line(value)});
}

bool Prefs::close() {
  Impl& p = *impl_;
  bool kept = !p.dropped;
  const bool must_write = p.modified || p.created;
  if (must_write && (p.has_file || p.remembered)) {
    kept = !p.read_only && replace_file(p.path, p.file_bytes());
  }
  *impl_ = Impl{};
  return kept;
}

}  // namespace kavri
