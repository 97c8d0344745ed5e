#include "netlink/key_text.h"

#include "netlink/link_crypto.h"

namespace kavri {
namespace {

constexpr std::string_view DIGITS = "0123456789abcdef";

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string link_key_text(const LinkKey& key) {
  std::string text;
  for (const std::uint8_t byte : key) {
    text += DIGITS[byte >> 4];
    text += DIGITS[byte & 0xF];
  }
  return text + "\n";
}

Result<LinkKey> parse_link_key_text(std::string_view text) {
  if (text.ends_with("\r\n")) {
    text.remove_suffix(2);
  } else if (text.ends_with("\n")) {
    text.remove_suffix(1);
  }
  if (text.size() != 2 * LINK_KEY_BYTES) {
    return fail("a key file holds 64 hexadecimal digits and a newline, nothing else");
  }
  LinkKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) {
    const int high = digit_value(text[2 * i]);
    const int low = digit_value(text[2 * i + 1]);
    if (high < 0 || low < 0) return fail("a key file holds hexadecimal digits only");
    key[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return key;
}

LinkKey new_link_key() {
  LinkKey key{};
  fill_random(key);
  return key;
}

}  // namespace kavri
