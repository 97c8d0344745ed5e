// The platform's cryptography gives the published HMAC-SHA256 results (RFC 4231), so the
// Linux and the Windows builds agree on every MAC of the link.
#include "netlink/link_crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavri {
namespace {

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> repeated(std::uint8_t byte, std::size_t count) {
  return std::vector<std::uint8_t>(count, byte);
}

std::string hex(ByteView data) {
  static const char* const DIGITS = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : data) text += {DIGITS[b >> 4], DIGITS[b & 0xF]};
  return text;
}

struct Rfc4231Case {
  const char* name;
  std::vector<std::uint8_t> key;
  std::vector<std::uint8_t> data;
  std::string mac;  // test case 5 gives only the first 128 bits
};

std::vector<std::uint8_t> counting_key() {
  std::vector<std::uint8_t> key;
  for (std::uint8_t b = 1; b <= 25; ++b) key.push_back(b);
  return key;
}

TEST(LinkCrypto, HmacSha256GivesThePublishedResultsWholeOrInParts) {
  const std::vector<Rfc4231Case> cases = {
      {"1", repeated(0x0b, 20), bytes("Hi There"),
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"2", bytes("Jefe"), bytes("what do ya want for nothing?"),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {"3", repeated(0xaa, 20), repeated(0xdd, 50),
       "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
      {"4", counting_key(), repeated(0xcd, 50),
       "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
      {"5", repeated(0x0c, 20), bytes("Test With Truncation"), "a3b6167473100ee06e0c796c2955552b"},
      {"6", repeated(0xaa, 131), bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {"7", repeated(0xaa, 131),
       bytes("This is a test using a larger than block-size key and a larger than block-size "
             "data. The key needs to be hashed before being used by the HMAC algorithm."),
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
  };
  for (const Rfc4231Case& c : cases) {
    SCOPED_TRACE(std::string("RFC 4231 test case ") + c.name);
    const Mac whole = hmac_sha256(c.key, {c.data});
    EXPECT_EQ(hex(whole).substr(0, c.mac.size()), c.mac);
    const ByteView data = c.data;
    const std::size_t half = data.size() / 2;
    const Mac in_parts = hmac_sha256(c.key, {data.first(half), ByteView{}, data.subspan(half)});
    EXPECT_EQ(hex(in_parts), hex(whole));
  }
}

TEST(LinkCrypto, MacsDifferingInAnyByteAreNotTheSame) {
  Mac a{};
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_TRUE(same_mac(a, a));
  for (std::size_t i = 0; i < a.size(); ++i) {
    Mac b = a;
    b[i] ^= 0x80;
    EXPECT_FALSE(same_mac(a, b)) << "byte " << i;
  }
}

TEST(LinkCrypto, RandomBytesAreFreshEachTime) {
  std::array<std::uint8_t, 32> first{};
  std::array<std::uint8_t, 32> second{};
  fill_random(first);
  fill_random(second);
  EXPECT_NE(first, second);
  EXPECT_NE(first, decltype(first){});
}

}  // namespace
}  // namespace kavri
