// Files in each encoding a user's editor may save: read as the program's text, and written back
// in the encoding they came in, so an edit never turns a file into something it was not.
#include "config/file_text.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "config/prefs.h"
#include "testing/files.h"

namespace kavri {
namespace {

using testing::read_file;
using testing::write_file;

// "[suction]", "Pos0A3S0 = 12" and "é" in each encoding.
struct EncodedFile {
  const char* name;
  FileEncoding encoding;
  std::string bytes;
};

std::string utf16(std::string_view ascii_or_e_acute, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (std::size_t i = 0; i < ascii_or_e_acute.size(); ++i) {
    char16_t unit = static_cast<unsigned char>(ascii_or_e_acute[i]);
    if (ascii_or_e_acute.substr(i, 2) == "\xC3\xA9") {
      unit = 0xE9;
      ++i;
    }
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

constexpr std::string_view TEXT = "[suction]\r\nPos0A3S0 = 12\r\nnote = \xC3\xA9t\xC3\xA9\r\n";

std::vector<EncodedFile> encoded_files() {
  return {
      {"utf8", FileEncoding::utf8, "\xEF\xBB\xBF\r\n" + std::string(TEXT)},
      {"utf16le", FileEncoding::utf16le, utf16(TEXT, false)},
      {"utf16be", FileEncoding::utf16be, utf16(TEXT, true)},
  };
}

TEST(FileText, EachMarkedEncodingReadsAsTheSameTextAndWritesBackByteForByte) {
  for (const EncodedFile& file : encoded_files()) {
    const auto decoded = decode_file_text(file.bytes);
    ASSERT_TRUE(decoded) << file.name;
    EXPECT_EQ(decoded->encoding, file.encoding) << file.name;
    EXPECT_TRUE(decoded->text.ends_with(TEXT)) << file.name;  // after an empty line in UTF-8
    FileEncoding encoding = decoded->encoding;
    EXPECT_EQ(encode_file_text(TEXT, encoding), file.bytes) << file.name;
  }
}

TEST(FileText, UnpairedOrCutUtf16IsNoText) {
  for (const std::string& bytes :
       {std::string("\xFF\xFEk\0=", 5), std::string("\xFF\xFE\x00\xDC", 4),
        std::string("\xFE\xFF\xD8\x00\x00k", 6)}) {
    EXPECT_FALSE(decode_file_text(bytes)) << ::testing::PrintToString(bytes);
  }
}

// What "Valider" does to a UTF-16 "Calibrage.ini": its points are read, and the new ones go
// into it as UTF-16, beside what it held.
TEST(FileText, AUtf16PreferencesFileIsReadAndUpdatedInUtf16) {
  ScratchDirectory dir;
  for (const EncodedFile& file : encoded_files()) {
    const std::string path = dir.file(std::string(file.name) + ".ini");
    write_file(path, file.bytes);
    Prefs prefs;
    ASSERT_TRUE(prefs.open(path)) << file.name;
    ASSERT_TRUE(prefs.select_group("suction"));
    EXPECT_EQ(prefs.read_int("Pos0A3S0", 0), 12) << file.name;
    prefs.write_int("Pos3A3S0", 40);
    ASSERT_TRUE(prefs.close());
    const auto decoded = decode_file_text(read_file(path));
    ASSERT_TRUE(decoded) << file.name;
    EXPECT_EQ(decoded->encoding, file.encoding) << file.name;
    EXPECT_TRUE(decoded->text.ends_with(std::string(TEXT) + "Pos3A3S0 = 40\r\n")) << file.name;
  }
  // One that is no UTF-16 is left as it is, whatever is written.
  const std::string cut = dir.file("cut.ini");
  write_file(cut, std::string("\xFF\xFE[\0g\0]", 7));
  Prefs prefs;
  EXPECT_EQ(prefs.open_or_create(cut), PrefsOpening::unreadable);
  prefs.write_int("k", 1);
  EXPECT_FALSE(prefs.close());
  EXPECT_EQ(read_file(cut), std::string("\xFF\xFE[\0g\0]", 7));
}

// A file without a mark is in the system's code page: Windows' ANSI code page (1252 in Western
// Europe, and under Wine's default locale), the locale's UTF-8 elsewhere.
TEST(FileText, UnmarkedFilesAreInTheSystemCodePage) {
#if defined(_WIN32)
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  const std::string in_code_page = "k = \xE9t\xE9\r\n";
#else
  const std::string in_code_page = "k = \xC3\xA9t\xC3\xA9\r\n";
#endif
  const auto decoded = decode_file_text(in_code_page);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->encoding, FileEncoding::code_page);
  EXPECT_EQ(decoded->text, "k = \xC3\xA9t\xC3\xA9\r\n");
  FileEncoding encoding = FileEncoding::code_page;
  EXPECT_EQ(encode_file_text(decoded->text, encoding), in_code_page);
#if defined(_WIN32)
  // "ŕ" has no place in 1252: rather than lose it, the file becomes UTF-8 with its mark.
  EXPECT_EQ(encode_file_text("k = \xC5\x95\r\n", encoding), "\xEF\xBB\xBF\r\nk = \xC5\x95\r\n");
  EXPECT_EQ(encoding, FileEncoding::utf8);
#endif
}

}  // namespace
}  // namespace kavri
