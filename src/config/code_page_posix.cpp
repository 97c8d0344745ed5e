#include "config/code_page.h"

namespace kavri {

// The system code page of a POSIX system is its locale's character set, which is UTF-8 on every
// system the driver runs on: both directions are the identity.
std::string code_page_to_utf8(std::string_view code_page_text) {
  return std::string(code_page_text);
}

std::optional<std::string> utf8_to_code_page(std::string_view utf8) { return std::string(utf8); }

}  // namespace kavri
