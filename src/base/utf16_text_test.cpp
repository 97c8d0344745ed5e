#include "base/utf16_text.h"

#include <gtest/gtest.h>

namespace kavri {
namespace {

TEST(Utf16Text, FrenchTextAndAstralCharactersGoBothWays) {
  for (const std::string text : {"", "Déconnecté", "Paramètres", "repère", "Jauge.jcf",
                                 "\xF0\x9F\x9B\xA9", "\xEF\xBF\xBD\x7F\xDF\xBF\xE0\xA0\x80"}) {
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text) << text;
  }
  EXPECT_EQ(utf8_to_utf16("Connecté"), u"Connecté");
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x9B\xA9"), (std::u16string{0xD83D, 0xDEE9}));
}

TEST(Utf16Text, EveryBadByteBecomesOneReplacementAndNothingIsReadPastTheEnd) {
  const std::u16string bad(1, 0xFFFD);
  const struct {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"\x80", bad},                                // a stray continuation byte
      {"a\xC3", u"a" + bad},                        // cut off at the end
      {"\xC3(", bad + u"("},                        // a lead byte without its continuation
      {"\xC0\xAF", bad + bad},                      // an overlong '/'
      {"\xED\xA0\x80", bad + bad + bad},            // a surrogate
      {"\xF4\x90\x80\x80", bad + bad + bad + bad},  // past U+10FFFF
      {std::string("\0x", 2), std::u16string(u"\0x", 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16);
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");  // unpaired
  EXPECT_EQ(utf16_to_utf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kavri
