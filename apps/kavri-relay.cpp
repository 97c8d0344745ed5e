// kavri-relay: serves this computer's simulator link to Kavri drivers on other computers, to
// those holding the key, until interrupted; or makes a new key.
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_text.h"
#include "base/standard_options.h"
#include "netlink/sealed_channel.h"
#include "relay/relay_command.h"
#include "relay/relay_server.h"

namespace {

// Read on the main thread, set by a signal handler: a lock-free atomic.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_signal(int) { interrupted.store(true); }

int serve(const kavri::RelayCommand& command) {
  using namespace kavri;
  const auto key = read_link_key(command.key_file);
  if (!key) {
    std::cerr << "kavri-relay: " << key.error() << "\n";
    return 1;
  }
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
#if defined(SIGHUP)
  std::signal(SIGHUP, on_signal);
#endif
  // Standard error is tied to standard output, which it would flush (and wait for) first.
  std::cerr.tie(nullptr);
  SystemEnv env;
  RelayOptions options{command.serve, *key, command.allow,
                       [] { return make_platform_transport(); }};
  Relay relay(env, std::move(options),
              [](const std::string& line) { std::cerr << "kavri-relay: " << line << std::endl; });
  if (const Status started = relay.start(); !started) {
    std::cerr << "kavri-relay: " << started.error() << "\n";
    return 1;
  }
  std::cerr << "kavri-relay: serving the simulator link on " << command.serve.host << ":"
            << relay.port() << std::endl;
  while (!interrupted.load()) env.sleep_for(Millis(100));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  kavri::use_console_text();
  using namespace kavri;
  const ProgramUsage program{"kavri-relay", RELAY_USAGE};
  if (const auto answer = answer_help_or_version(argc, argv, program)) return *answer;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto command = parse_relay_command(args);
  if (!command) return usage_error(program);
  if (!command->new_key) return serve(*command);
  if (const Status written = write_new_link_key(command->key_file); !written) {
    std::cerr << "kavri-relay: " << written.error() << "\n";
    return 1;
  }
  std::cerr << "kavri-relay: a new key in " << command->key_file
            << "; copy it to each cockpit computer\n";
  return 0;
}
