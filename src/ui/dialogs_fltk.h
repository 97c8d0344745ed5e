// The FLTK backend's modal dialogs: message box and open-file chooser.
#pragma once

#include <string>
#include <string_view>

#include "ui/toolkit.h"

namespace kavri::fltk_ui {

// Modal; returns when the user has dismissed it with its single OK button.
void show_message_box(std::string_view title, std::string_view text);

// The platform's open-file or save-file dialog (GTK's where GTK is found, FLTK's own
// elsewhere): a full path, or "" when cancelled or when it failed.
std::string run_file_chooser(const FileDialogSpec& spec);

// The user's home folder: $HOME, else the account's; "" when neither is known.
std::string home_folder();

}  // namespace kavri::fltk_ui
