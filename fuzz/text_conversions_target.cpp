// Bytes that claim to be UTF-8 (a file, a datagram, a window's text) or UTF-16 (the Windows
// API's): every conversion ends, and what it gives is well-formed: converting it again changes
// nothing.
#include <optional>
#include <string>

#include "base/utf16_text.h"
#include "config/code_page.h"
#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {

void fuzz_text_conversions(Bytes input) {
  const std::string_view bytes = as_text(input);
  const std::u16string utf16 = utf8_to_utf16(bytes);
  const std::string utf8 = utf16_to_utf8(utf16);
  expect(utf8_to_utf16(utf8) == utf16, "well-formed UTF-8 converts back and forth unchanged");

  std::u16string units(input.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(input[2 * i] | input[2 * i + 1] << 8);
  }
  const std::string from_units = utf16_to_utf8(units);
  expect(utf16_to_utf8(utf8_to_utf16(from_units)) == from_units,
         "UTF-8 made from UTF-16 converts back and forth unchanged");

  // Bytes read in the code page become well-formed UTF-8 (or stay as they were where the code
  // page is UTF-8 itself), and text the code page holds goes back to the same bytes.
  const std::string page_utf8 = code_page_to_utf8(bytes);
  expect(utf16_to_utf8(utf8_to_utf16(page_utf8)) == page_utf8 || page_utf8 == bytes,
         "the code page's text converts to UTF-8 or stays as it was");
  if (const std::optional<std::string> page_text = utf8_to_code_page(utf8)) {
    expect(code_page_to_utf8(*page_text) == utf8, "text the code page holds comes back the same");
  }
}

}  // namespace kavri::fuzz
