// The virtual bus of kavri-bench: the modules file (--modules FILE) and the built-in demo bench.
//
// A modules file is a preferences file with one group per module, the group name free, read in
// the encodings every preferences file may have (the code page, UTF-8 or UTF-16 with its mark). The
// card reports the modules in the file's group order. Keys: `address`, every parameter field
// under its record name (`gauge1_type`, `gauge1_offset`, ... `output2_inverted`), and
// `analog_value`, the value the module reports; numbers follow the number text rule ($0BC0,
// -100, %1010) and a missing key is 0.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "virtual/virtual_card.h"

namespace kavri {

// The modules of the file at `path`, in group order, as their EEPROM keeps them. Fails, with a
// French sentence naming the file, when the file cannot be read, holds no group, or names a
// group twice (a save could not tell the two apart).
Result<std::vector<VirtualModule>> load_bench_modules(const std::string& path);

// Writes each module's address, parameters and analog value back under its group (the i-th
// group for module i), as a module keeps its EEPROM across power cycles, so the next run
// explores what was written. Only values that differ are rewritten; other keys, groups and
// comments stay. Fails, with a French sentence, when the file cannot be read or no longer has
// one group per module.
Status save_bench_modules(const std::string& path, const std::vector<VirtualModule>& modules);

// The built-in demo bench: four modules at addresses 12, 20, 33 and 41 with varied gauge types,
// whose offsets the virtual simulator's demo flight moves.
std::vector<VirtualModule> demo_bench();

}  // namespace kavri
