#include "config/file_text.h"

#include <algorithm>

#include "base/utf16_text.h"
#include "config/code_page.h"
#include "config/prefs_format.h"

namespace kavri {

namespace {

constexpr std::string_view UTF16LE_MARK = "\xFF\xFE";
constexpr std::string_view UTF16BE_MARK = "\xFE\xFF";

// The code units of UTF-16 bytes in the given order; nullopt when an unpaired surrogate shows
// that the bytes are not UTF-16 (or not in this order).
std::optional<std::u16string> utf16_units(std::string_view bytes, bool big_endian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(
        static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
  }
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (low) return std::nullopt;
    if (!high) continue;
    if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
      return std::nullopt;
    }
    ++i;
  }
  return units;
}

std::string utf16_bytes(std::string_view text, bool big_endian) {
  std::string bytes(big_endian ? UTF16BE_MARK : UTF16LE_MARK);
  for (const char16_t unit : utf8_to_utf16(text)) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

}  // namespace

std::optional<FileText> decode_file_text(std::string_view bytes) {
  if (bytes.starts_with(UTF8_MARK)) {
    return FileText{FileEncoding::utf8, std::string(bytes.substr(UTF8_MARK.size()))};
  }
  const bool little = bytes.starts_with(UTF16LE_MARK);
  if (!little && !bytes.starts_with(UTF16BE_MARK)) {
    return FileText{FileEncoding::code_page, code_page_to_utf8(bytes)};
  }
  bytes.remove_prefix(2);
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto units = utf16_units(bytes, !little);
  if (!units) return std::nullopt;
  // Text of a preferences file has line breaks, "=", "[" or Latin letters, all below U+0100.
  // UTF-16 with none of them is other bytes behind a mark (FF FE before plain text): read as
  // UTF-16 it would be one meaningless line, and rewriting it would lose what it holds.
  const bool latin =
      std::any_of(units->begin(), units->end(), [](char16_t u) { return u < 0x100; });
  if (!units->empty() && !latin) return std::nullopt;
  return FileText{little ? FileEncoding::utf16le : FileEncoding::utf16be, utf16_to_utf8(*units)};
}

std::string encode_file_text(std::string_view text, FileEncoding& encoding) {
  switch (encoding) {
    case FileEncoding::code_page:
      if (auto bytes = utf8_to_code_page(text)) {
        // Text whose first bytes are a byte order mark would be read back as a UTF-8 or UTF-16
        // file, garbled or lost: an empty first line (dropped on reading) keeps it a code-page
        // file.
        if (bytes->starts_with(UTF8_MARK) || bytes->starts_with(UTF16LE_MARK) ||
            bytes->starts_with(UTF16BE_MARK)) {
          bytes->insert(0, "\r\n");
        }
        return std::move(*bytes);
      }
      encoding = FileEncoding::utf8;
      [[fallthrough]];
    case FileEncoding::utf8:
      return std::string(UTF8_MARK) + "\r\n" + std::string(text);
    case FileEncoding::utf16le:
    case FileEncoding::utf16be:
      return utf16_bytes(text, encoding == FileEncoding::utf16be);
  }
  return std::string(text);
}

}  // namespace kavri
