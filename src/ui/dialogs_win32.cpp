#include "ui/dialogs_win32.h"

// windows.h (through the header) first: the dialog header needs its types.
#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "base/utf16_text.h"

namespace kavri::win32_ui {

void show_message_box(HWND owner, std::string_view title, std::string_view text) {
  // Task-modal: no window of the program takes input until the box is closed. An error
  // ("Erreur", "Erreur de lecture") shows the system's error sign and sound.
  const UINT sign = title.starts_with("Erreur") ? MB_ICONERROR : 0;
  MessageBoxW(owner, to_wide(text).c_str(), to_wide(title).c_str(), MB_OK | MB_TASKMODAL | sign);
}

std::string run_file_dialog(HWND owner, const FileDialogSpec& spec) {
  // The filter is pairs of strings each ended by a zero, the list ended by one more.
  std::wstring filter;
  if (!spec.filter_pattern.empty()) {
    const std::string description =
        spec.filter_description.empty() ? spec.filter_pattern : spec.filter_description;
    filter = to_wide(description) + L'\0' + to_wide(spec.filter_pattern) + L'\0';
  }
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');  // room for the longest path Windows allows
  const std::wstring initial_name = to_wide(spec.initial_name);
  initial_name.copy(file.data(), file.size() - 1);
  // A relative starting folder is taken from the current directory, as it stands now.
  std::wstring directory;
  if (!spec.initial_directory.empty()) {
    const std::wstring relative = to_wide(spec.initial_directory);
    std::vector<wchar_t> full(32768, L'\0');
    const DWORD length =
        GetFullPathNameW(relative.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    directory = length > 0 && length < full.size() ? std::wstring(full.data(), length) : relative;
  }
  const std::wstring title = to_wide(spec.title);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  dialog.lpstrTitle = title.c_str();
  // The chosen file need not exist, and no extension is added to a typed name. A save takes
  // an existing file without asking: the export updates it in place.
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  const BOOL chosen = spec.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return "";
  return from_wide(file.data());
}

std::string documents_folder() {
  PWSTR folder = nullptr;
  const bool known = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &folder));
  std::string path = known ? from_wide(folder) : "";
  CoTaskMemFree(folder);  // owed even when the call failed
  return path;
}

}  // namespace kavri::win32_ui
