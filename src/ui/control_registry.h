// The one record of every window and control of a toolkit: what the program set (texts, values,
// ranges, entries, selections, states), what the user changed, and the events waiting for the
// program's loop. Every backend is this registry: the headless toolkit is the registry alone,
// and a backend with a display mirrors each change onto its native windows through the hooks
// below and reports the user's changes back. So the rules (a value kept in its range, a
// selection that follows its entry, a call naming nothing doing nothing) hold alike on every
// backend, and one contract test checks them on each.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ui/control_rules.h"
#include "ui/toolkit.h"

namespace kavri {

class ControlRegistry : public Toolkit {
 public:
  struct ControlState : control_rules::ControlModel {
    int window = 0;
    ControlSpec spec;  // spec.text, spec.enabled and spec.font follow later changes
    std::optional<Rgb> background;
  };
  struct WindowState {
    WindowSpec spec;  // spec.title follows later changes
    bool minimised = false;
  };

  bool create_window(const WindowSpec& spec) final;
  void destroy_window(int window) final;
  bool window_exists(int window) const final { return windows_.contains(window); }
  void set_minimised(int window, bool minimised) final;
  bool minimised(int window) const final;
  void set_window_title(int window, std::string_view title) final;
  void add_control(int window, const ControlSpec& spec) final;
  bool control_exists(int control) const final { return controls_.contains(control); }
  void set_text(int control, std::string_view text) final;
  std::string text(int control) const final;
  void set_enabled(int control, bool enabled) final;
  bool enabled(int control) const final;
  void set_background(int control, Rgb colour) final;
  void set_font(int control, FontId font) final;
  void set_range(int control, int min, int max) final;
  int range_max(int control) const final;
  void set_value(int control, int value) final;
  int value(int control) const final;
  void clear_items(int control) final;
  void add_item(int control, std::string_view text) final;
  void insert_item(int control, int position, std::string_view text) final;
  int item_count(int control) const final;
  std::string item_text(int control, int index) const final;
  void set_selection(int control, int index) final;
  int selection(int control) const final;
  std::optional<Event> poll_event() final;

  const ControlState* control(int control) const;
  const WindowState* window(int window) const;
  std::size_t pending_events() const { return events_.size(); }

 protected:
  // The mirror: each hook shows on the display what the registry now holds. Creation hooks
  // answer false when the display could not make the thing, which then does not exist.
  virtual bool show_window(const WindowState&) { return true; }
  // Called once the window's controls have left the registry; its native children go with it.
  virtual void hide_window(int /*window*/) {}
  virtual void show_minimised(int /*window*/, bool /*minimised*/) {}
  virtual void show_title(const WindowState&) {}
  virtual bool show_control(const ControlState&) { return true; }
  // A control number given again: the old control leaves the registry after this. In its own
  // window it goes; in another window (two windows that share caption numbers) it stays on show
  // there, but no longer speaks or answers for the number.
  virtual void drop_control(const ControlState& /*old*/, bool /*same_window*/) {}
  virtual void show_text(const ControlState&) {}
  virtual void show_enabled(const ControlState&) {}
  virtual void show_background(const ControlState&) {}
  virtual void show_font(const ControlState&) {}
  virtual void show_value(const ControlState&) {}  // the value and its range
  virtual void show_items_cleared(const ControlState&) {}
  virtual void show_item_inserted(const ControlState&, int /*position*/) {}
  virtual void show_selection(const ControlState&) {}
  // What the user typed in a text field, which raises no event; none: the registry's text.
  virtual std::optional<std::string> typed_text(const ControlState&) const { return std::nullopt; }
  // Lets the display deliver the user's input (through the take_user_* calls) before an event
  // is taken.
  virtual void deliver_input() {}

  // The user's side, from the display's input or the headless toolkit's actions: the registry
  // takes the change and queues the event a screen raises. Each answers false (and changes
  // nothing) when the control does not exist, is not of that kind, or is disabled.
  bool take_user_value(int control, ControlKind kind, int value);
  bool take_user_selection(int control, int index);
  bool take_user_press(int control, ControlKind kind);
  void take_user_text(int control, std::string_view text);
  // A close box was clicked: an event when the window has one.
  void take_user_close(int window);
  // The window manager minimised or restored the window behind the program's back.
  void take_user_minimised(int window, bool minimised);
  // The window of the user's last event, while it exists.
  std::optional<int> acted_window() const;

  ControlState* find(int control);
  WindowState* find_window(int window);

 private:
  ControlState* user_control(int control, ControlKind kind);
  void queue_control_event(const ControlState& state);
  void forget_window(int window);

  std::map<int, WindowState> windows_;
  std::map<int, ControlState> controls_;
  std::deque<Event> events_;
  int acted_window_ = -1;
};

}  // namespace kavri
