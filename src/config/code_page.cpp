#include "config/code_page.h"

namespace kavri {

// On Linux text is bytes and the locale is UTF-8, so the system code page is UTF-8 itself and
// both directions are the identity. A Windows build converts through the active code page here.
std::string utf8_to_code_page(std::string_view utf8) { return std::string(utf8); }

std::string code_page_to_utf8(std::string_view code_page_text) {
  return std::string(code_page_text);
}

}  // namespace kavri
