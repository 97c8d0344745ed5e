#include <windows.h>

#include <cstdio>

#include "shell/parent_console.h"

namespace kavri {

namespace {

// True when the stream's handle leads somewhere: a file, a pipe or a console.
bool leads_somewhere(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void use_parent_console() {
  const bool output = leads_somewhere(STD_OUTPUT_HANDLE);
  const bool error = leads_somewhere(STD_ERROR_HANDLE);
  if ((output && error) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!output) std::freopen("CONOUT$", "w", stdout);
  if (!error) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace kavri
