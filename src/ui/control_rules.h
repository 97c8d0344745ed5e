// The value and selection rules that every toolkit backend applies the same way, so that a
// program tested on the headless toolkit behaves alike on a real display.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit.h"

namespace kavri::control_rules {

// Kinds whose value lives in a [min, max] range and is kept inside it.
inline bool has_range(ControlKind kind) {
  return kind == ControlKind::slider || kind == ControlKind::progress_bar ||
         kind == ControlKind::dial;
}

inline bool has_value(ControlKind kind) {
  return has_range(kind) || kind == ControlKind::check_box || kind == ControlKind::lamp;
}

struct Range {
  int min = 0, max = 0;
};

// A range given upside down is taken the right way round rather than refused: the caller's
// intent (these two bounds) is plain, and a clamp into an inverted range is undefined.
inline Range ordered(int min, int max) { return min <= max ? Range{min, max} : Range{max, min}; }

// The value a control of this kind holds after being set to `value`.
inline int stored_value(ControlKind kind, Range range, int value) {
  if (has_range(kind)) return std::clamp(value, range.min, range.max);
  if (kind == ControlKind::check_box) return value != 0 ? 1 : 0;
  return value;
}

// The selection after set_selection(index) in a list of `count` entries: an index outside the
// list clears it, as the platform lists do, rather than picking some other entry.
inline int selection_after_set(int index, int count) {
  return index >= 0 && index < count ? index : -1;
}

// Where insert_item(position) puts the entry: a position outside 0..count appends.
inline int insert_position(int position, int count) {
  return position >= 0 && position <= count ? position : count;
}

// The selected entry keeps its text when an entry is inserted at or before it.
inline int selection_after_insert(int selection, int inserted_at) {
  return selection >= 0 && inserted_at <= selection ? selection + 1 : selection;
}

// What a control on a display keeps of its own, whatever draws it: its value in its range, and
// a list's entries and selection, each changed by the rules above. A setter that a control of
// its kind does not take answers false and changes nothing; the caller redraws on true.
struct ControlModel {
  ControlKind kind = ControlKind::label;
  Range range;
  int value = 0;
  std::vector<std::string> items;
  int selection = -1;

  bool set_range(int min, int max) {
    if (!has_range(kind)) return false;
    range = ordered(min, max);
    value = stored_value(kind, range, value);
    return true;
  }
  bool set_value(int new_value) {
    if (!has_value(kind)) return false;
    value = stored_value(kind, range, new_value);
    return true;
  }
  void clear_items() {
    items.clear();
    selection = -1;
  }
  // Where the entry went.
  int insert_item(int position, std::string_view text) {
    const int at = insert_position(position, item_count());
    items.insert(items.begin() + at, std::string(text));
    selection = selection_after_insert(selection, at);
    return at;
  }
  void select(int index) { selection = selection_after_set(index, item_count()); }
  int item_count() const { return static_cast<int>(items.size()); }
  std::string item_text(int index) const {
    return index >= 0 && index < item_count() ? items[static_cast<std::size_t>(index)] : "";
  }
};

}  // namespace kavri::control_rules
