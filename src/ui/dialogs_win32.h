// The Win32 backend's modal dialogs: message box and open-file and save-file dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/toolkit.h"

namespace kavri::win32_ui {

// Modal for every window of the thread; returns once the user has pressed OK. A title that
// begins with "Erreur" carries the error icon.
void show_message_box(HWND owner, std::string_view title, std::string_view text);

// The system's open-file or save-file dialog (spec.save): the full path (UTF-8), or "" when
// cancelled or when it failed.
std::string run_file_dialog(HWND owner, const FileDialogSpec& spec);

// The user's documents folder (UTF-8), or "" when Windows knows none.
std::string documents_folder();

}  // namespace kavri::win32_ui
