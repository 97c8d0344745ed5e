// The driver's waits with no work between them, for SECONDS: the main loop's 3 ms sleep, the
// transfer pass's 5 ms wait and the link monitor's 100 ms slices, each on its own thread and
// through the same Env as the driver's. What scripts/idle-cpu.sh --floor measures of it is
// what the waits alone cost on a machine: the least any driver with these waits can cost.
//
//   wait_floor SECONDS
#include <charconv>
#include <cstdio>
#include <string_view>

#include "base/env.h"

int main(int argc, char** argv) {
  int seconds = 0;
  const std::string_view arg = argc == 2 ? argv[1] : "";
  if (std::from_chars(arg.data(), arg.data() + arg.size(), seconds).ec != std::errc{} ||
      seconds <= 0) {
    std::fputs("usage: wait_floor SECONDS\n", stderr);
    return 2;
  }
  kavri::SystemEnv env;
  const auto waiting = [&env](kavri::Millis period) {
    return env.start_thread([&env, period](std::stop_token stop) {
      while (env.sleep_for(period, stop)) {
      }
    });
  };
  kavri::Worker transfer = waiting(kavri::Millis(5));
  kavri::Worker monitor = waiting(kavri::Millis(100));
  const std::int64_t end = env.now_ms() + 1000LL * seconds;
  while (env.now_ms() < end) env.sleep_for(kavri::Millis(3));
  return 0;
}
