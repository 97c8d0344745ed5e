#include "ui/headless_toolkit.h"

namespace kavri {

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

}  // namespace kavri
