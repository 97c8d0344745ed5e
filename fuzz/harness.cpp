// One libFuzzer program: built once per target, named by KAVRI_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto entry = kavri::fuzz::find_fuzz_target(KAVRI_FUZZ_TARGET)->entry;
  entry({data, size});
  return 0;
}
