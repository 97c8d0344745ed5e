#include "ui/fltk_dialogs.h"

#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>

namespace kavri::fltk_ui {

void show_message_box(std::string_view title, std::string_view text) {
  const std::string title_text(title), body(text);
  fl_close = "OK";  // the box's only button; FLTK's default caption is "Close"
  fl_message_title(title_text.c_str());
  fl_message("%s", body.c_str());  // never as the format: the text may hold '%'
}

std::string run_file_chooser(const FileDialogSpec& spec) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
  chooser.title(spec.title.c_str());
  if (!spec.initial_directory.empty()) chooser.directory(spec.initial_directory.c_str());
  if (!spec.initial_name.empty()) chooser.preset_file(spec.initial_name.c_str());
  if (!spec.filter_pattern.empty()) {
    const std::string filter = spec.filter_description.empty()
                                   ? spec.filter_pattern
                                   : spec.filter_description + "\t" + spec.filter_pattern;
    chooser.filter(filter.c_str());
  }
  if (chooser.show() != 0) return "";  // 1: cancelled; -1: the dialog failed
  const char* path = chooser.filename();
  return path != nullptr ? path : "";
}

}  // namespace kavri::fltk_ui
