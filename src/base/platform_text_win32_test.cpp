// Text to a Windows console: what the console shows afterwards, read back from its screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "base/platform_text.h"

namespace kavri {
namespace {

// The console's first `count` characters as it shows them.
std::wstring shown(HANDLE console, DWORD count) {
  std::wstring text(count, L'\0');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(console, text.data(), count, {0, 0}, &read);
  text.resize(read);
  return text;
}

// In a code page where UTF-8 bytes read wrong ("dÃ©jÃ"), the console still shows the accents,
// a character cut between two writes included, and C stdio's text keeps its place before it.
TEST(ConsoleText, AccentsShowWholeInAConsoleOfAnyCodePage) {
  FreeConsole();
  if (!AllocConsole()) GTEST_SKIP() << "no console can be made here";
  ASSERT_TRUE(SetConsoleOutputCP(437));
  ASSERT_NE(std::freopen("CONOUT$", "w", stderr), nullptr);
  use_console_text();
  std::fputs("stdio, ", stderr);
  std::cerr << "Le pilote Kavri tourne d\xC3";
  std::cerr << "\xA9j\xC3\xA0 pour cette carte" << std::flush;
  const HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  const std::wstring expected = L"stdio, Le pilote Kavri tourne d\u00e9j\u00e0 pour cette carte";
  EXPECT_EQ(shown(console, static_cast<DWORD>(expected.size())), expected);
  CloseHandle(console);
}

}  // namespace
}  // namespace kavri
