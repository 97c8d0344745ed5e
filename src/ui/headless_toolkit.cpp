#include "ui/headless_toolkit.h"

#include <algorithm>

#include "ui/control_rules.h"

namespace kavri {

namespace rules = control_rules;

namespace {

// Drops a window's controls (a replaced or destroyed window takes its controls with it) and the
// events it raised that are still queued: a handler must never run for a window that is gone.
template <typename Controls, typename Events>
void forget_window(int window, Controls& controls, Events& events) {
  std::erase_if(controls, [window](const auto& entry) { return entry.second.window == window; });
  std::erase_if(events, [window](const Event& event) { return event.window == window; });
}

}  // namespace

bool HeadlessToolkit::create_window(const WindowSpec& spec) {
  forget_window(spec.number, controls_, events_);
  windows_[spec.number] = WindowState{spec, false};
  return true;
}

void HeadlessToolkit::destroy_window(int window) {
  forget_window(window, controls_, events_);
  windows_.erase(window);
}

bool HeadlessToolkit::window_exists(int window) const { return windows_.contains(window); }

void HeadlessToolkit::set_minimised(int window, bool minimised) {
  if (auto it = windows_.find(window); it != windows_.end()) it->second.minimised = minimised;
}

bool HeadlessToolkit::minimised(int window) const {
  const WindowState* state = this->window(window);
  return state != nullptr && state->minimised;
}

void HeadlessToolkit::set_window_title(int window, std::string_view title) {
  if (auto it = windows_.find(window); it != windows_.end()) it->second.spec.title = title;
}

void HeadlessToolkit::add_control(int window, const ControlSpec& spec) {
  if (!windows_.contains(window)) return;
  ControlState state;
  state.window = window;
  state.spec = spec;
  const auto range = rules::ordered(spec.range_min, spec.range_max);
  state.spec.range_min = range.min;
  state.spec.range_max = range.max;
  state.value = rules::stored_value(spec.kind, range, 0);
  controls_[spec.number] = std::move(state);
}

bool HeadlessToolkit::control_exists(int control) const { return controls_.contains(control); }

void HeadlessToolkit::set_text(int control, std::string_view text) {
  if (ControlState* state = find(control)) state->spec.text = text;
}

std::string HeadlessToolkit::text(int control) const {
  const ControlState* state = this->control(control);
  if (state == nullptr) return "";
  if (state->spec.kind == ControlKind::drop_down) return item_text(control, state->selection);
  return state->spec.text;
}

void HeadlessToolkit::set_enabled(int control, bool enabled) {
  if (ControlState* state = find(control)) state->spec.enabled = enabled;
}

bool HeadlessToolkit::enabled(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr && state->spec.enabled;
}

void HeadlessToolkit::set_background(int control, Rgb colour) {
  if (ControlState* state = find(control)) {
    state->background = colour;
    state->has_background = true;
  }
}

void HeadlessToolkit::set_font(int control, FontId font) {
  if (ControlState* state = find(control)) state->spec.font = font;
}

void HeadlessToolkit::set_range(int control, int min, int max) {
  ControlState* state = find(control);
  if (state == nullptr || !rules::has_range(state->spec.kind)) return;
  const auto range = rules::ordered(min, max);
  state->spec.range_min = range.min;
  state->spec.range_max = range.max;
  state->value = rules::stored_value(state->spec.kind, range, state->value);
}

int HeadlessToolkit::range_max(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->spec.range_max : 0;
}

void HeadlessToolkit::set_value(int control, int value) {
  ControlState* state = find(control);
  if (state == nullptr || !rules::has_value(state->spec.kind)) return;
  state->value =
      rules::stored_value(state->spec.kind, {state->spec.range_min, state->spec.range_max}, value);
}

int HeadlessToolkit::value(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->value : 0;
}

void HeadlessToolkit::clear_items(int control) {
  if (ControlState* state = find(control)) {
    state->items.clear();
    state->selection = -1;
  }
}

void HeadlessToolkit::add_item(int control, std::string_view text) {
  insert_item(control, item_count(control), text);
}

void HeadlessToolkit::insert_item(int control, int position, std::string_view text) {
  ControlState* state = find(control);
  if (state == nullptr || state->spec.kind != ControlKind::drop_down) return;
  const int count = static_cast<int>(state->items.size());
  const int at = rules::insert_position(position, count);
  state->items.insert(state->items.begin() + at, std::string(text));
  state->selection = rules::selection_after_insert(state->selection, at);
}

int HeadlessToolkit::item_count(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? static_cast<int>(state->items.size()) : 0;
}

std::string HeadlessToolkit::item_text(int control, int index) const {
  const ControlState* state = this->control(control);
  if (state == nullptr || index < 0 || index >= static_cast<int>(state->items.size())) return "";
  return state->items[static_cast<std::size_t>(index)];
}

void HeadlessToolkit::set_selection(int control, int index) {
  if (ControlState* state = find(control)) {
    state->selection = rules::selection_after_set(index, static_cast<int>(state->items.size()));
  }
}

int HeadlessToolkit::selection(int control) const {
  const ControlState* state = this->control(control);
  return state != nullptr ? state->selection : -1;
}

std::optional<Event> HeadlessToolkit::poll_event() {
  if (events_.empty()) return std::nullopt;
  Event event = events_.front();
  events_.pop_front();
  return event;
}

void HeadlessToolkit::show_message_box(std::string_view title, std::string_view text) {
  messages_.emplace_back(std::string(title), std::string(text));
  if (message_sink_) message_sink_(title, text);
}

std::string HeadlessToolkit::choose_file(const FileDialogSpec& spec) {
  file_dialogs_.push_back(spec);
  if (file_choices_.empty()) return "";
  std::string path = std::move(file_choices_.front());
  file_choices_.pop_front();
  return path;
}

HeadlessToolkit::ControlState* HeadlessToolkit::user_control(int control, ControlKind kind) {
  ControlState* state = find(control);
  if (state == nullptr || state->spec.kind != kind || !state->spec.enabled) return nullptr;
  return state;
}

void HeadlessToolkit::queue_control_event(const ControlState& state) {
  events_.push_back(Event{Event::Kind::control, state.window, state.spec.number});
}

void HeadlessToolkit::user_move_slider(int control, int value) {
  if (ControlState* state = user_control(control, ControlKind::slider)) {
    set_value(control, value);
    queue_control_event(*state);
  }
}

void HeadlessToolkit::user_select(int control, int index) {
  ControlState* state = user_control(control, ControlKind::drop_down);
  if (state == nullptr || index < 0 || index >= static_cast<int>(state->items.size())) return;
  state->selection = index;
  queue_control_event(*state);
}

void HeadlessToolkit::user_type(int control, std::string_view text) {
  if (ControlState* state = user_control(control, ControlKind::text_field)) {
    state->spec.text = text;
  }
}

void HeadlessToolkit::user_press(int control) {
  if (ControlState* state = user_control(control, ControlKind::button)) queue_control_event(*state);
}

void HeadlessToolkit::user_toggle(int control) {
  if (ControlState* state = user_control(control, ControlKind::check_box)) {
    state->value = state->value != 0 ? 0 : 1;
    queue_control_event(*state);
  }
}

void HeadlessToolkit::user_close(int window) {
  const WindowState* state = this->window(window);
  if (state != nullptr && state->spec.close_box) {
    events_.push_back(Event{Event::Kind::close, window, 0});
  }
}

const HeadlessToolkit::ControlState* HeadlessToolkit::control(int control) const {
  auto it = controls_.find(control);
  return it != controls_.end() ? &it->second : nullptr;
}

const HeadlessToolkit::WindowState* HeadlessToolkit::window(int window) const {
  auto it = windows_.find(window);
  return it != windows_.end() ? &it->second : nullptr;
}

HeadlessToolkit::ControlState* HeadlessToolkit::find(int control) {
  auto it = controls_.find(control);
  return it != controls_.end() ? &it->second : nullptr;
}

}  // namespace kavri
