// xplane-stand-in: the stand-in X-Plane as a program, for checks run from a shell (the Windows
// bridge under Wine). Usage: xplane-stand-in PORT [NAME=VALUE]...
// Says "listening on PORT" on standard error once it answers; at SIGTERM or SIGINT it prints
// each DREF received ("DREF NAME VALUE") and each RREF request ("RREF FREQUENCY NAME") on
// standard output, and ends.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "testing/xplane_stand_in.h"

namespace {

volatile std::sig_atomic_t ended = 0;

void on_signal(int) { ended = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xplane-stand-in PORT [NAME=VALUE]...\n");
    return 2;
  }
  kavri::testing::XplaneStandIn xplane;
  for (int i = 2; i < argc; ++i) {
    const std::string pair = argv[i];
    const auto equals = pair.find('=');
    if (equals == std::string::npos) return 2;
    xplane.set(pair.substr(0, equals), std::strtof(pair.c_str() + equals + 1, nullptr));
  }
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  if (!xplane.start(static_cast<std::uint16_t>(std::atoi(argv[1])))) return 1;
  std::fprintf(stderr, "listening on %u\n", static_cast<unsigned>(xplane.port()));
  while (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  xplane.stop();
  for (const auto& [name, value] : xplane.drefs()) std::printf("DREF %s %g\n", name.c_str(), value);
  for (const auto& request : xplane.requests()) {
    std::printf("RREF %d %s\n", static_cast<int>(request.frequency), request.name.c_str());
  }
  return 0;
}
