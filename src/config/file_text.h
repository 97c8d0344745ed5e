// The bytes of a preferences file as the program's text (UTF-8) and back, in the encoding the
// file was found in: the system's 8-bit code page when it starts with no byte order mark,
// UTF-8 after EF BB BF, UTF-16 after FF FE (little-endian, as Notepad saves "Unicode") or
// FE FF (big-endian). A file is written back in the encoding it was read in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavri {

enum class FileEncoding { code_page, utf8, utf16le, utf16be };

struct FileText {
  FileEncoding encoding = FileEncoding::code_page;
  std::string text;  // UTF-8, without the byte order mark
};

// Nullopt when the bytes are not text of their encoding: UTF-16 of an odd length or with an
// unpaired surrogate, which could not be written back as it was, or UTF-16 without a single
// character below U+0100 (no line break, no "=", no Latin letter: plain bytes behind a mark).
std::optional<FileText> decode_file_text(std::string_view bytes);

// The file's bytes: the mark of its encoding, then `text`. A UTF-8 file starts with the mark
// and an empty line. A code-page file that would lose a character (one the code page lacks)
// becomes a UTF-8 file instead, and `encoding` says so.
std::string encode_file_text(std::string_view text, FileEncoding& encoding);

}  // namespace kavri
