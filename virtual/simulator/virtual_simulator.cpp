#include "virtual/simulator/virtual_simulator.h"

#include "server/ipc_server.h"

namespace kavri {
namespace {

constexpr Millis FLIGHT_STEP{20};  // fine enough for a needle to move smoothly

}  // namespace

VirtualSimulator::VirtualSimulator(Env& env, SimOptions options)
    : env_(env),
      options_(std::move(options)),
      profile_(options_.profile ? *options_.profile : SimProfile::demo_flight()) {}

VirtualSimulator::~VirtualSimulator() { stop(); }

Status VirtualSimulator::start() {
  stop();
  for (const SimPin& pin : options_.pins) {
    space_.pin(pin.offset, pin.size, static_cast<std::uint64_t>(pin.value));
  }
  if (options_.fly) profile_.apply(space_, 0);
  server_ = make_platform_ipc_server(env_, space_, options_.on_write, options_.directory);
  if (Status served = server_->start(options_.server_class); !served) {
    server_.reset();
    return served;
  }
  const auto fly = [this](std::stop_token stop) {
    const std::int64_t begin = env_.now_ms();
    while (env_.sleep_for(FLIGHT_STEP, stop)) profile_.apply(space_, env_.now_ms() - begin);
  };
  if (!options_.fly) return done();
  Status started = start_worker(env_, flight_, fly, "flight");
  if (!started) server_.reset();
  return started;
}

void VirtualSimulator::stop() {
  flight_.stop_and_join();
  server_.reset();
}

}  // namespace kavri
