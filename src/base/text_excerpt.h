// A word quoted in an error message (a command-line argument, a name read from a file), kept
// short and harmless whatever it holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavri {

constexpr std::size_t EXCERPT_LIMIT = 60;

// The word itself up to EXCERPT_LIMIT bytes; a longer one as its start and its end around
// "...", within that limit. Control characters show as "?" (they could drive a terminal), and
// no UTF-8 character is cut in two.
std::string excerpt(std::string_view word);

}  // namespace kavri
