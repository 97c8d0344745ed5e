// The system's 8-bit code page, in which a preferences file without a byte order mark is
// written, to and from UTF-8, the program's own text. One implementation per platform.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavri {

// Every byte sequence converts: a byte the code page leaves undefined still becomes some
// character, so nothing of a file is dropped on the way in.
std::string code_page_to_utf8(std::string_view code_page_text);

// Nullopt when a character of `utf8` has no place in the code page: written anyway, it would
// come back as another one.
std::optional<std::string> utf8_to_code_page(std::string_view utf8);

}  // namespace kavri
