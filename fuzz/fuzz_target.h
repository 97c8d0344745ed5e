// The fuzz targets: every input a stranger can hand the driver, its peers and its bridges, each
// fed through one entry function. The libFuzzer programs (harness.cpp) and the replay test
// call the same entries through one table, so a target follows its code with a one-line change.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace kavri::fuzz {

using Bytes = std::span<const std::uint8_t>;

struct FuzzTarget {
  std::string_view name;  // its seeds are fuzz/corpus/<name>/, its faults fuzz/regressions/<name>/
  void (*entry)(Bytes input);
};

// Every target. Adding one is one entry here and a seed folder.
std::span<const FuzzTarget> fuzz_targets();
const FuzzTarget* find_fuzz_target(std::string_view name);

// An entry's property that an input broke. Uncaught it ends the program, which libFuzzer keeps
// as a crash; the replay test catches it and names the input.
struct PropertyBroken : std::logic_error {
  using std::logic_error::logic_error;
};
inline void expect(bool holds, const char* property) {
  if (!holds) throw PropertyBroken(property);
}

inline std::string_view as_text(Bytes input) {
  return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// The entries, one file each (<name>_target.cpp).
void fuzz_prefs_file(Bytes input);
void fuzz_calibration_file(Bytes input);
void fuzz_jcf_import(Bytes input);
void fuzz_relay_messages(Bytes input);
void fuzz_bench_modules(Bytes input);
void fuzz_sim_profile(Bytes input);
void fuzz_fgfs_map(Bytes input);
void fuzz_fgfs_frame(Bytes input);
void fuzz_xplane_map(Bytes input);
void fuzz_xplane_answer(Bytes input);
void fuzz_request_block(Bytes input);
void fuzz_client_requests(Bytes input);
void fuzz_link_requests(Bytes input);
void fuzz_link_replies(Bytes input);
void fuzz_ipc_reply(Bytes input);
void fuzz_card_answers(Bytes input);
void fuzz_number_text(Bytes input);
void fuzz_text_conversions(Bytes input);

}  // namespace kavri::fuzz
