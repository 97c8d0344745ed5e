// UTF-8, the program's text everywhere, to and from UTF-16, the text of the Windows "W"
// functions: so that accents show the same whatever the system's code page.
#pragma once

#include <string>
#include <string_view>

namespace kavri {

// A byte sequence that is not UTF-8 (a stray continuation byte, a cut-off sequence, an overlong
// form, a surrogate, a code point past U+10FFFF) becomes one U+FFFD per bad byte, so no input
// is ever dropped silently or read past its end.
std::u16string utf8_to_utf16(std::string_view utf8);

// An unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view utf16);

#if defined(_WIN32)
// The same for the Windows API's wchar_t, which is UTF-16 there.
inline std::wstring to_wide(std::string_view utf8) {
  const std::u16string text = utf8_to_utf16(utf8);
  return std::wstring(text.begin(), text.end());
}
inline std::string from_wide(std::wstring_view wide) {
  return utf16_to_utf8(std::u16string(wide.begin(), wide.end()));
}
#endif

}  // namespace kavri
