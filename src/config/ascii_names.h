// Names (groups, keys) that match without regard to ASCII letter case.
#pragma once

#include <string>
#include <string_view>

namespace kavri {

inline bool same_ascii_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The order of names as their ASCII lower-case forms sort, without making those forms: an
// index of names that match as one can then be a sorted list of places.
inline bool ascii_name_less(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  };
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]);
  }
  return a.size() < b.size();
}

// The name in ASCII lower case: the form under which names that match are indexed as one.
inline std::string ascii_lower(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace kavri
