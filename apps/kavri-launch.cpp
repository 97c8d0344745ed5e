// kavri-launch (Windows only): what the Start-menu entry "Kavri" starts. The driver keeps
// Kavri.ini and Calibrage.ini in the folder it runs in; an installed driver's own folder is
// shared by every user and not theirs to write. So this makes the user's Kavri folder
// (%LOCALAPPDATA%\Kavri) on a first start and starts kavri.exe, from beside itself, in it. A
// shortcut names its start folder but cannot make it, and one start folder cannot be every
// user's: hence this program rather than the shortcut alone.
#include <shlobj.h>
#include <windows.h>

#include <string>

namespace {

int fail(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), L"Kavri", MB_OK | MB_ICONERROR);
  return 1;
}

// The folder this program was started from, with its final backslash.
std::wstring own_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path.substr(0, path.find_last_of(L'\\') + 1);
    }
    path.resize(path.size() * 2);  // a long path: the name was cut short
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  PWSTR local = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
    CoTaskMemFree(local);
    return fail(L"Je ne trouve pas le dossier des données locales de l'utilisateur.");
  }
  const std::wstring folder = std::wstring(local) + L"\\Kavri";
  CoTaskMemFree(local);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return fail(L"Je ne peux pas créer le dossier " + folder);
  }
  const std::wstring driver = own_folder() + L"kavri.exe";
  std::wstring command_line = L"\"" + driver + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(driver.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &started)) {
    return fail(L"Je ne peux pas lancer " + driver);
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 0;
}
