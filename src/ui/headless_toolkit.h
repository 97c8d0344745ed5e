// The toolkit with no display: it keeps every window's and control's state, and lets tests
// (and kavri-bench --headless) act as the user would and read everything back.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/toolkit.h"

namespace kavri {

class HeadlessToolkit final : public Toolkit {
 public:
  struct ControlState {
    int window = 0;
    ControlSpec spec;  // spec.text, spec.enabled, spec.range_* follow later changes
    Rgb background{};
    bool has_background = false;
    int value = 0;
    std::vector<std::string> items;
    int selection = -1;
  };
  struct WindowState {
    WindowSpec spec;
    bool minimised = false;
  };

  // Toolkit
  bool create_window(const WindowSpec& spec) override;
  void destroy_window(int window) override;
  bool window_exists(int window) const override;
  void set_minimised(int window, bool minimised) override;
  bool minimised(int window) const override;
  void set_window_title(int window, std::string_view title) override;
  void add_control(int window, const ControlSpec& spec) override;
  bool control_exists(int control) const override;
  void set_text(int control, std::string_view text) override;
  std::string text(int control) const override;
  void set_enabled(int control, bool enabled) override;
  bool enabled(int control) const override;
  void set_background(int control, Rgb colour) override;
  void set_font(int control, FontId font) override;
  void set_range(int control, int min, int max) override;
  int range_max(int control) const override;
  void set_value(int control, int value) override;
  int value(int control) const override;
  void clear_items(int control) override;
  void add_item(int control, std::string_view text) override;
  void insert_item(int control, int position, std::string_view text) override;
  int item_count(int control) const override;
  std::string item_text(int control, int index) const override;
  void set_selection(int control, int index) override;
  int selection(int control) const override;
  std::optional<Event> poll_event() override;
  void show_now() override {}
  std::string choose_file(const FileDialogSpec& spec) override;

  // The user's side. Each of these changes the control as the user would and queues the
  // event the real toolkit would raise (typing raises none). As on a screen, a control that is
  // disabled, or not of the kind the action needs, ignores the action and raises nothing; a
  // selection must name an existing entry; a window closes only through its close box (none:
  // no event).
  void user_move_slider(int control, int value);
  void user_select(int control, int index);
  void user_type(int control, std::string_view text);
  void user_press(int control);
  void user_toggle(int control);  // check box
  void user_close(int window);

  // Every message box shown so far: (title, text). Each is answered OK at once.
  const std::vector<std::pair<std::string, std::string>>& messages() const { return messages_; }
  // Called for every message box as it is shown (kavri-bench --headless prints them).
  void set_message_sink(std::function<void(std::string_view, std::string_view)> sink) {
    message_sink_ = std::move(sink);
  }
  // The answers the next file dialogs give, in order; "" (cancel) once they run out.
  void queue_file_choice(std::string path) { file_choices_.push_back(std::move(path)); }
  const std::vector<FileDialogSpec>& file_dialogs() const { return file_dialogs_; }

  const ControlState* control(int control) const;
  const WindowState* window(int window) const;
  std::size_t pending_events() const { return events_.size(); }

 protected:
  void show_message_box(std::string_view title, std::string_view text) override;

 private:
  ControlState* find(int control);
  ControlState* user_control(int control, ControlKind kind);  // null when the user cannot act
  void queue_control_event(const ControlState& state);
  std::map<int, WindowState> windows_;
  std::map<int, ControlState> controls_;
  std::deque<Event> events_;
  std::vector<std::pair<std::string, std::string>> messages_;
  std::function<void(std::string_view, std::string_view)> message_sink_;
  std::deque<std::string> file_choices_;
  std::vector<FileDialogSpec> file_dialogs_;
};

}  // namespace kavri
