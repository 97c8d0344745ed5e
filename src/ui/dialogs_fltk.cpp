#include "ui/dialogs_fltk.h"

#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kavri::fltk_ui {

void show_message_box(std::string_view title, std::string_view text) {
  const std::string title_text(title), body(text);
  fl_close = "OK";  // the box's only button; FLTK's default caption is "Close"
  fl_message_title(title_text.c_str());
  fl_message("%s", body.c_str());  // never as the format: the text may hold '%'
}

namespace {

// FLTK shows a filter as its description followed by "(pattern)": a description that already
// ends with its pattern in brackets loses them, so that the pattern shows once.
std::string chooser_filter(const FileDialogSpec& spec) {
  std::string description = spec.filter_description;
  const std::string shown = "(" + spec.filter_pattern + ")";
  if (description.ends_with(shown)) description.resize(description.size() - shown.size());
  // Tabs and line breaks separate filters in FLTK's filter text.
  for (char& c : description) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return description.empty() ? spec.filter_pattern : description + "\t" + spec.filter_pattern;
}

}  // namespace

std::string run_file_chooser(const FileDialogSpec& spec) {
  Fl_Native_File_Chooser chooser(spec.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                                           : Fl_Native_File_Chooser::BROWSE_FILE);
  chooser.title(spec.title.c_str());
  // Both choosers get whole paths: FLTK's own takes a relative preset from the current
  // directory rather than from the initial one, and GTK's wants whole paths too. FLTK 1.3's
  // GTK dialog keeps only the file name of the preset.
  std::error_code error;
  const std::filesystem::path directory =
      std::filesystem::absolute(spec.initial_directory.empty() ? "." : spec.initial_directory,
                                error)
          .lexically_normal();
  const std::string directory_text = directory.string();
  const std::string preset = (directory / spec.initial_name).string();
  chooser.directory(directory_text.c_str());
  if (!spec.initial_name.empty()) chooser.preset_file(preset.c_str());
  const std::string filter = chooser_filter(spec);
  if (!spec.filter_pattern.empty()) chooser.filter(filter.c_str());
  if (chooser.show() != 0) return "";  // 1: cancelled; -1: the dialog failed
  const char* path = chooser.filename();
  return path != nullptr ? path : "";
}

std::string home_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
  return found != nullptr && found->pw_dir != nullptr ? found->pw_dir : "";
}

}  // namespace kavri::fltk_ui
