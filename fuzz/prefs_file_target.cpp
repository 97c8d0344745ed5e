// A preferences file as another program or an older version left it: whatever it holds,
// every key reads the same once the file is written back, and what is written reads back.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/file_text.h"
#include "config/prefs.h"
#include "config/prefs_format.h"
#include "fuzz/fuzz_target.h"
#include "testing/files.h"

namespace kavri::fuzz {
namespace {

using Group = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

// Every key of every group, as read: the keys before the first group under "".
std::vector<Group> read_all(Prefs& prefs, const FileText& text) {
  std::vector<Group> groups{{"", {}}};
  for (const PrefsEntry& e : parse_prefs_text(text.text)) {
    if (e.kind == PrefsEntry::Kind::group) groups.push_back({e.name, {}});
  }
  for (auto& [name, keys] : groups) {
    prefs.select_group(name);
    for (const std::string& key : prefs.keys()) keys.emplace_back(key, prefs.read_string(key, ""));
  }
  return groups;
}

}  // namespace

void fuzz_prefs_file(Bytes input) {
  static const ScratchDirectory scratch;
  const std::string path = scratch.file("Kavri.ini");
  const std::string text(as_text(input));
  testing::write_file(path, text);
  Prefs prefs;
  const std::optional<FileText> decoded = decode_file_text(text);
  if (!decoded) {
    expect(!prefs.open(path), "bytes that are not text of their encoding are not opened");
    return;
  }
  expect(prefs.open(path), "a file that can be read opens");
  const std::vector<Group> before = read_all(prefs, *decoded);
  for (const auto& [name, keys] : before) {
    prefs.select_group(name);
    for (const auto& [key, value] : keys) prefs.write_string(key, value);
  }
  // The number goes to a group the file does not have, so that it replaces none of its keys.
  std::string own_group = "fuzz";
  while (prefs.select_group(own_group)) own_group += '_';
  const auto number = static_cast<std::int32_t>(input.size() * 2654435761u);
  prefs.write_int("written", number);
  expect(prefs.close(), "the file is written back");

  expect(prefs.open(path), "the written file opens");
  for (const auto& [name, keys] : before) {
    prefs.select_group(name);
    for (const auto& [key, value] : keys) {
      expect(prefs.read_string(key, "\x01missing") == value, "a key reads back the same");
    }
  }
  prefs.select_group(own_group);
  expect(prefs.read_int("written", 0) == number, "a written number reads back");
}

}  // namespace kavri::fuzz
