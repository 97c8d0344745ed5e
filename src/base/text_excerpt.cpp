#include "base/text_excerpt.h"

namespace kavri {

namespace {

constexpr std::string_view ELLIPSIS = "...";
constexpr std::size_t PART = (EXCERPT_LIMIT - ELLIPSIS.size()) / 2;

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

void append_shown(std::string& out, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
}

}  // namespace

std::string excerpt(std::string_view word) {
  std::string out;
  if (word.size() <= EXCERPT_LIMIT) {
    append_shown(out, word);
    return out;
  }
  std::size_t head = PART;
  while (head > 0 && is_continuation(word[head])) --head;
  std::size_t tail = word.size() - PART;
  while (tail < word.size() && is_continuation(word[tail])) ++tail;
  append_shown(out, word.substr(0, head));
  out += ELLIPSIS;
  append_shown(out, word.substr(tail));
  return out;
}

}  // namespace kavri
