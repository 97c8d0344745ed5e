// The key file's content: the key's 32 bytes as 64 hexadecimal digits and a newline. Text
// rather than raw bytes, so that a key can be copied between computers by hand, through a
// terminal or a clipboard, without a byte being changed on the way.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"
#include "netlink/sealed_channel.h"

namespace kavri {

// The most bytes a key file holds: the digits and a Windows editor's "\r\n".
inline constexpr std::size_t KEY_FILE_MAX_BYTES = 2 * LINK_KEY_BYTES + 2;

std::string link_key_text(const LinkKey& key);

// Reads 64 hexadecimal digits (either case), followed by nothing, "\n" or "\r\n".
Result<LinkKey> parse_link_key_text(std::string_view text);

// A new key from the system's random generator.
LinkKey new_link_key();

}  // namespace kavri
