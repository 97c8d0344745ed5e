// Text typed into a field or held by a file, read by the number text rule: any text reads, and
// what the program shows of a number reads back as that number.
#include <cstdint>
#include <string>

#include "base/number_text.h"
#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {

void fuzz_number_text(Bytes input) {
  const std::string_view text = as_text(input);
  const std::int64_t value = parse_number_text(text);
  expect(parse_number_text(format_decimal(value)) == value, "a shown number reads back");
  expect(parse_number_text(" \t" + std::string(text)) == value, "leading blanks are skipped");
  const auto offset = static_cast<std::uint16_t>(value);
  expect(parse_number_text(format_offset(offset)) == offset, "a shown offset reads back");
}

}  // namespace kavri::fuzz
