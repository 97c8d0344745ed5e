// Windows' ANSI code page (CP_ACP: 1252 on a Western European system), through UTF-16. A
// system set to use UTF-8 as its code page (65001) needs no conversion.
#include <windows.h>

#include "base/utf16_text.h"
#include "config/code_page.h"

namespace kavri {

std::string code_page_to_utf8(std::string_view code_page_text) {
  if (code_page_text.empty() || GetACP() == CP_UTF8) return std::string(code_page_text);
  const int size = static_cast<int>(code_page_text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, code_page_text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, code_page_text.data(), size, wide.data(), length);
  return from_wide(wide);
}

std::optional<std::string> utf8_to_code_page(std::string_view utf8) {
  if (utf8.empty() || GetACP() == CP_UTF8) return std::string(utf8);
  const std::wstring wide = to_wide(utf8);
  const int size = static_cast<int>(wide.size());
  // No best fit: "ŕ" written as "r" would read back as another text.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int length =
      WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, flags, wide.data(), size, text.data(), length, nullptr, &lost);
  if (lost || length == 0) return std::nullopt;
  return text;
}

}  // namespace kavri
