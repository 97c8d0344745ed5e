// Files in each encoding a user's editor may save: read as the program's text, and written back
// in the encoding they came in, so an edit never turns a file into something it was not.
#include "config/file_text.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "config/code_page.h"
#include "config/prefs.h"
#include "config/prefs_format.h"
#include "testing/files.h"

namespace kavri {
namespace {

constexpr std::string_view TEXT = "[suction]\r\nPos0A3S0 = 12\r\nnote = \xC3\xA9t\xC3\xA9\r\n";

std::string utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

const std::pair<FileEncoding, std::string> ENCODED_FILES[] = {
    {FileEncoding::utf8, "\xEF\xBB\xBF\r\n" + std::string(TEXT)},
    {FileEncoding::utf16le,
     utf16(u"[suction]\r\nPos0A3S0 = 12\r\nnote = \u00E9t\u00E9\r\n", false)},
    {FileEncoding::utf16be, utf16(u"[suction]\r\nPos0A3S0 = 12\r\nnote = \u00E9t\u00E9\r\n", true)},
};

// What "Valider" does to a "Calibrage.ini" that Notepad saved: its points are read, and the new
// one goes in beside them, in the file's own encoding.
TEST(FileText, EachMarkedEncodingIsReadAndUpdatedInItsOwnEncoding) {
  ScratchDirectory dir;
  const std::string path = dir.file("Calibrage.ini");
  for (const auto& [file_encoding, bytes] : ENCODED_FILES) {
    SCOPED_TRACE(static_cast<int>(file_encoding));
    FileEncoding encoding = file_encoding;
    EXPECT_EQ(encode_file_text(TEXT, encoding), bytes);
    testing::write_file(path, bytes);
    Prefs prefs;
    ASSERT_TRUE(prefs.open(path) && prefs.select_group("suction"));
    EXPECT_EQ(prefs.read_int("Pos0A3S0", 0), 12);
    EXPECT_EQ(prefs.read_string("note", ""), "\xC3\xA9t\xC3\xA9");
    prefs.write_int("Pos3A3S0", 40);
    ASSERT_TRUE(prefs.close());
    const auto decoded = decode_file_text(testing::read_file(path));
    ASSERT_TRUE(decoded && decoded->encoding == file_encoding);
    EXPECT_TRUE(decoded->text.ends_with(std::string(TEXT) + "Pos3A3S0 = 40\r\n"));
  }
}

// Cut or unpaired UTF-16 could not be written back as it was: the file is left alone.
TEST(FileText, Utf16ThatIsNoTextIsLeftAsItIs) {
  ScratchDirectory dir;
  const std::string path = dir.file("Kavri.ini");
  for (const std::string& bytes : {std::string("\xFF\xFEk\0=", 5), std::string("\xFF\xFE\0\xDC", 4),
                                   std::string("\xFE\xFF\xD8\0\0k", 6)}) {
    testing::write_file(path, bytes);
    Prefs prefs;
    EXPECT_EQ(prefs.open_or_create(path), PrefsOpening::unreadable);
    prefs.write_int("backlight", 1);
    EXPECT_FALSE(prefs.close());
    EXPECT_EQ(testing::read_file(path), bytes);
  }
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
  ASSERT_TRUE(decoded && decoded->encoding == FileEncoding::code_page);
  EXPECT_EQ(decoded->text, "k = \xC3\xA9t\xC3\xA9\r\n");
  FileEncoding encoding = FileEncoding::code_page;
  EXPECT_EQ(encode_file_text(decoded->text, encoding), in_code_page);
  // A character that the code page lacks ("ŕ" in 1252) makes the file UTF-8 rather than be lost.
  const std::string written = encode_file_text("k = \xC5\x95", encoding);
  EXPECT_TRUE(decode_file_text(written)->text.ends_with("k = \xC5\x95"));
  // Code-page text that starts with the bytes of a byte order mark stays code-page text.
  for (const std::string_view mark :
       {UTF8_MARK, std::string_view("\xFF\xFE"), std::string_view("\xFE\xFF")}) {
    const std::string text = code_page_to_utf8(mark) + "k = 1\r\n";
    encoding = FileEncoding::code_page;
    const auto again = decode_file_text(encode_file_text(text, encoding));
    ASSERT_TRUE(again && again->encoding == FileEncoding::code_page);
    EXPECT_TRUE(again->text.ends_with(text));
  }
}

}  // namespace
}  // namespace kavri
