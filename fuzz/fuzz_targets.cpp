#include <algorithm>
#include <array>

#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {
namespace {

constexpr std::array TARGETS{
    FuzzTarget{"prefs_file", fuzz_prefs_file},
    FuzzTarget{"calibration_file", fuzz_calibration_file},
    FuzzTarget{"jcf_import", fuzz_jcf_import},
    FuzzTarget{"bench_modules", fuzz_bench_modules},
    FuzzTarget{"sim_profile", fuzz_sim_profile},
    FuzzTarget{"fgfs_map", fuzz_fgfs_map},
    FuzzTarget{"fgfs_frame", fuzz_fgfs_frame},
    FuzzTarget{"xplane_map", fuzz_xplane_map},
    FuzzTarget{"xplane_answer", fuzz_xplane_answer},
    FuzzTarget{"request_block", fuzz_request_block},
    FuzzTarget{"client_requests", fuzz_client_requests},
    FuzzTarget{"link_requests", fuzz_link_requests},
    FuzzTarget{"link_replies", fuzz_link_replies},
    FuzzTarget{"ipc_reply", fuzz_ipc_reply},
    FuzzTarget{"relay_messages", fuzz_relay_messages},
    FuzzTarget{"card_answers", fuzz_card_answers},
    FuzzTarget{"number_text", fuzz_number_text},
    FuzzTarget{"text_conversions", fuzz_text_conversions},
};

}  // namespace

std::span<const FuzzTarget> fuzz_targets() { return TARGETS; }

const FuzzTarget* find_fuzz_target(std::string_view name) {
  const auto found =
      std::find_if(TARGETS.begin(), TARGETS.end(), [&](const auto& t) { return t.name == name; });
  return found == TARGETS.end() ? nullptr : &*found;
}

}  // namespace kavri::fuzz
