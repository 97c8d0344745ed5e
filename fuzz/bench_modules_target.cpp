// A modules file of kavri-bench, written by hand or by an older version: it loads or is
// refused with a sentence, and the modules it loads, saved back, load the same.
#include <string>

#include "fuzz/fuzz_target.h"
#include "testing/files.h"
#include "virtual/bench_modules_file.h"

namespace kavri::fuzz {

void fuzz_bench_modules(Bytes input) {
  static const ScratchDirectory scratch;
  const std::string path = scratch.file("bench.ini");
  testing::write_file(path, std::string(as_text(input)));
  const auto modules = load_bench_modules(path);
  if (!modules) {
    expect(!modules.error().empty(), "a refused file is told why");
    return;
  }
  expect(save_bench_modules(path, *modules).ok(), "loaded modules save back");
  const auto reloaded = load_bench_modules(path);
  expect(reloaded.ok(), "a saved file loads");
  for (std::size_t i = 0; i < modules->size(); ++i) {
    const VirtualModule &a = (*modules)[i], &b = (*reloaded)[i];
    expect(a.address == b.address && a.params == b.params && a.analog_value == b.analog_value,
           "a saved module loads the same");
  }
}

}  // namespace kavri::fuzz
