#include "ui/control_registry.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kavri {

namespace rules = control_rules;

// Drops a window's controls (a replaced or destroyed window takes its controls with it) and the
// events it raised that are still queued: a handler must never run for a window that is gone.
// The windows it owns go first, so that none outlives its owner.
void ControlRegistry::forget_window(int window) {
  if (!windows_.contains(window)) return;
  std::vector<int> owned;
  for (const auto& [number, state] : windows_) {
    if (state.spec.owner == window) owned.push_back(number);
  }
  for (int number : owned) forget_window(number);
  std::erase_if(controls_, [window](const auto& entry) { return entry.second.window == window; });
  std::erase_if(events_, [window](const Event& event) { return event.window == window; });
  windows_.erase(window);
  hide_window(window);
}

bool ControlRegistry::create_window(const WindowSpec& spec) {
  forget_window(spec.number);
  const auto [it, added] = windows_.emplace(spec.number, WindowState{spec, false});
  if (spec.owner && !windows_.contains(*spec.owner)) it->second.spec.owner.reset();
  if (show_window(it->second)) return true;
  windows_.erase(it);
  return false;
}

void ControlRegistry::destroy_window(int window) { forget_window(window); }

void ControlRegistry::set_minimised(int window, bool minimised) {
  if (WindowState* state = find_window(window)) {
    state->minimised = minimised;
    show_minimised(window, minimised);
  }
}

bool ControlRegistry::minimised(int window) const {
  const WindowState* state = this->window(window);
  return state != nullptr && state->minimised;
}

void ControlRegistry::set_window_title(int window, std::string_view title) {
  if (WindowState* state = find_window(window)) {
    state->spec.title = title;
    show_title(*state);
  }
}

void ControlRegistry::add_control(int window, const ControlSpec& spec) {
  if (!windows_.contains(window)) return;
  if (auto old = controls_.find(spec.number); old != controls_.end()) {
    drop_control(old->second, old->second.window == window);
    controls_.erase(old);
  }
  ControlState state;
  state.kind = spec.kind;
  state.range = rules::ordered(spec.range_min, spec.range_max);
  state.value = rules::stored_value(spec.kind, state.range, 0);
  state.window = window;
  state.spec = spec;
  const auto [it, added] = controls_.emplace(spec.number, std::move(state));
  if (!show_control(it->second)) controls_.erase(it);
}

void ControlRegistry::set_text(int control, std::string_view text) {
  ControlState* state = find(control);
  if (state == nullptr || state->kind == ControlKind::drop_down) return;
  state->spec.text = text;
  show_text(*state);
}

std::string ControlRegistry::text(int control) const {
  const ControlState* state = this->control(control);
  if (state == nullptr) return "";
  if (state->kind == ControlKind::drop_down) return state->item_text(state->selection);
  if (state->kind == ControlKind::text_field) {
    if (std::optional<std::string> typed = typed_text(*state)) return std::move(*typed);
  }
  return state->spec.text;
}

void ControlRegistry::set_enabled(int control, bool enabled) {
  if (ControlState* state = find(control)) {
    state->spec.enabled = enabled;
    show_enabled(*state);
  }
}

bool ControlRegistry::enabled(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr && state->spec.enabled;
}

void ControlRegistry::set_background(int control, Rgb colour) {
  if (ControlState* state = find(control)) {
    state->background = colour;
    show_background(*state);
  }
}

void ControlRegistry::set_font(int control, FontId font) {
  if (ControlState* state = find(control)) {
    state->spec.font = font;
    show_font(*state);
  }
}

void ControlRegistry::set_range(int control, int min, int max) {
  ControlState* state = find(control);
  if (state != nullptr && state->set_range(min, max)) show_value(*state);
}

int ControlRegistry::range_max(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->range.max : 0;
}

void ControlRegistry::set_value(int control, int value) {
  ControlState* state = find(control);
  if (state != nullptr && state->set_value(value)) show_value(*state);
}

int ControlRegistry::value(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->value : 0;
}

void ControlRegistry::clear_items(int control) {
  ControlState* state = find(control);
  if (state == nullptr || state->kind != ControlKind::drop_down) return;
  state->clear_items();
  show_items_cleared(*state);
}

void ControlRegistry::add_item(int control, std::string_view text) {
  insert_item(control, item_count(control), text);
}

void ControlRegistry::insert_item(int control, int position, std::string_view text) {
  ControlState* state = find(control);
  if (state == nullptr || state->kind != ControlKind::drop_down) return;
  show_item_inserted(*state, state->insert_item(position, text));
}

int ControlRegistry::item_count(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->item_count() : 0;
}

std::string ControlRegistry::item_text(int control, int index) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->item_text(index) : "";
}

void ControlRegistry::set_selection(int control, int index) {
  ControlState* state = find(control);
  if (state == nullptr || state->kind != ControlKind::drop_down) return;
  state->select(index);
  show_selection(*state);
}

int ControlRegistry::selection(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->selection : -1;
}

std::optional<Event> ControlRegistry::poll_event() {
  deliver_input();
  if (events_.empty()) return std::nullopt;
  Event event = events_.front();
  events_.pop_front();
  return event;
}

ControlRegistry::ControlState* ControlRegistry::user_control(int control, ControlKind kind) {
  ControlState* state = find(control);
  if (state == nullptr || state->kind != kind || !state->spec.enabled) return nullptr;
  return state;
}

void ControlRegistry::queue_control_event(const ControlState& state) {
  acted_window_ = state.window;
  events_.push_back(Event{Event::Kind::control, state.window, state.spec.number});
}

bool ControlRegistry::take_user_value(int control, ControlKind kind, int value) {
  ControlState* state = user_control(control, kind);
  if (state == nullptr) return false;
  state->set_value(value);
  queue_control_event(*state);
  return true;
}

bool ControlRegistry::take_user_selection(int control, int index) {
  ControlState* state = user_control(control, ControlKind::drop_down);
  if (state == nullptr || index < 0 || index >= state->item_count()) return false;
  state->selection = index;
  queue_control_event(*state);
  return true;
}

bool ControlRegistry::take_user_press(int control, ControlKind kind) {
  ControlState* state = user_control(control, kind);
  if (state == nullptr) return false;
  queue_control_event(*state);
  return true;
}

void ControlRegistry::take_user_text(int control, std::string_view text) {
  if (ControlState* state = user_control(control, ControlKind::text_field)) state->spec.text = text;
}

void ControlRegistry::take_user_close(int window) {
  const WindowState* state = this->window(window);
  if (state == nullptr || !state->spec.close_box) return;
  acted_window_ = window;
  events_.push_back(Event{Event::Kind::close, window, 0});
}

void ControlRegistry::take_user_minimised(int window, bool minimised) {
  if (WindowState* state = find_window(window)) state->minimised = minimised;
}

std::optional<int> ControlRegistry::acted_window() const {
  if (!windows_.contains(acted_window_)) return std::nullopt;
  return acted_window_;
}

const ControlRegistry::ControlState* ControlRegistry::control(int control) const {
  auto it = controls_.find(control);
  return it != controls_.end() ? &it->second : nullptr;
}

const ControlRegistry::WindowState* ControlRegistry::window(int window) const {
  auto it = windows_.find(window);
  return it != windows_.end() ? &it->second : nullptr;
}

ControlRegistry::ControlState* ControlRegistry::find(int control) {
  auto it = controls_.find(control);
  return it != controls_.end() ? &it->second : nullptr;
}

ControlRegistry::WindowState* ControlRegistry::find_window(int window) {
  auto it = windows_.find(window);
  return it != windows_.end() ? &it->second : nullptr;
}

}  // namespace kavri
