// The toolkit with no display: the control registry alone, which keeps every window's and
// control's state and lets tests (and kavri-bench --headless) act as the user would and read
// everything back.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/control_registry.h"

namespace kavri {

class HeadlessToolkit final : public ControlRegistry {
 public:
  void show_now() override {}
  std::string choose_file(const FileDialogSpec& spec) override;
  std::string documents_folder() const override { return documents_folder_; }
  void set_documents_folder(std::string folder) { documents_folder_ = std::move(folder); }

  // The user's side. Each of these changes the control as the user would and queues the
  // event the real toolkit would raise (typing raises none). As on a screen, a control that is
  // disabled, or not of the kind the action needs, ignores the action and raises nothing; a
  // selection must name an existing entry; a window closes only through its close box (none:
  // no event).
  void user_move_slider(int control, int value) {
    take_user_value(control, ControlKind::slider, value);
  }
  void user_select(int control, int index) { take_user_selection(control, index); }
  void user_type(int control, std::string_view text) { take_user_text(control, text); }
  void user_press(int control) { take_user_press(control, ControlKind::button); }
  void user_toggle(int control) {  // check box
    take_user_value(control, ControlKind::check_box, value(control) != 0 ? 0 : 1);
  }
  void user_close(int window) { take_user_close(window); }

  // Every message box shown so far: (title, text). Each is answered OK at once.
  const std::vector<std::pair<std::string, std::string>>& messages() const { return messages_; }
  // Called for every message box as it is shown (kavri-bench --headless prints them).
  void set_message_sink(std::function<void(std::string_view, std::string_view)> sink) {
    message_sink_ = std::move(sink);
  }
  // The answers the next file dialogs give, in order; "" (cancel) once they run out.
  void queue_file_choice(std::string path) { file_choices_.push_back(std::move(path)); }
  const std::vector<FileDialogSpec>& file_dialogs() const { return file_dialogs_; }

 protected:
  void show_message_box(std::string_view title, std::string_view text) override;

 private:
  std::vector<std::pair<std::string, std::string>> messages_;
  std::function<void(std::string_view, std::string_view)> message_sink_;
  std::deque<std::string> file_choices_;
  std::vector<FileDialogSpec> file_dialogs_;
  std::string documents_folder_;  // none: a headless run has no user folders of its own
};

}  // namespace kavri
