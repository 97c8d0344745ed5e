// Conversion between the system's 8-bit code page, in which every caller of the preferences
// file deals, and UTF-8, in which files that start with a byte order mark are stored.
#pragma once

#include <string>
#include <string_view>

namespace kavri {

std::string utf8_to_code_page(std::string_view utf8);
std::string code_page_to_utf8(std::string_view code_page_text);

}  // namespace kavri
