#include "testing/network_namespaces.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "testing/process.h"

namespace kavri::testing {
namespace {

std::atomic<int> made_count{0};

std::string find_ip() {
  for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return {};
}

Status run_ip(const std::string& ip, const std::vector<std::string>& args) {
  if (ip.empty()) return fail("no ip program (iproute2)");
  std::vector<std::string> argv{ip};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult result = run_process(argv, {}, std::chrono::seconds(20));
  if (result.exit_code == 0) return done();
  std::string error = "ip";
  for (const std::string& arg : args) error += " " + arg;
  return fail(error + ": " + result.err);
}

}  // namespace

NetworkNamespaces::NetworkNamespaces()
    : ip_path_(find_ip()),
      prefix_("kavri-" + std::to_string(getpid()) + "-" + std::to_string(made_count++) + "-") {}

NetworkNamespaces::~NetworkNamespaces() {
  for (const std::string& made : made_) (void)run_ip(ip_path_, {"netns", "delete", made});
}

Status NetworkNamespaces::add_host(const std::string& host) {
  if (Status added = run_ip(ip_path_, {"netns", "add", name(host)}); !added) return added;
  made_.push_back(name(host));
  return ip(host, {"link", "set", "lo", "up"});
}

Status NetworkNamespaces::ip(const std::string& host, const std::vector<std::string>& args) {
  std::vector<std::string> all{"-n", name(host)};
  all.insert(all.end(), args.begin(), args.end());
  return run_ip(ip_path_, all);
}

Status NetworkNamespaces::link(const std::string& a, const std::string& a_name,
                               const std::string& a_address, const std::string& b,
                               const std::string& b_name, const std::string& b_address) {
  const std::pair<const std::string&, std::vector<std::string>> steps[] = {
      {a, {"link", "add", a_name, "type", "veth", "peer", "name", b_name, "netns", name(b)}},
      {a, {"address", "add", a_address, "dev", a_name}},
      {b, {"address", "add", b_address, "dev", b_name}},
      {a, {"link", "set", a_name, "up"}},
      {b, {"link", "set", b_name, "up"}},
  };
  for (const auto& [host, args] : steps) {
    if (Status step = ip(host, args); !step) return step;
  }
  return done();
}

Status NetworkNamespaces::inside(const std::string& host, const std::function<void()>& work) {
  const int own = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const int target = open(("/var/run/netns/" + name(host)).c_str(), O_RDONLY | O_CLOEXEC);
  const bool entered = own >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
  if (entered) {
    work();
    if (setns(own, CLONE_NEWNET) != 0) std::abort();  // the thread must not stay elsewhere
  }
  if (own >= 0) close(own);
  if (target >= 0) close(target);
  if (!entered) return fail("cannot enter the network of " + name(host));
  return done();
}

std::vector<std::string> NetworkNamespaces::on(const std::string& host,
                                               std::vector<std::string> argv) const {
  argv.insert(argv.begin(), {ip_path_, "netns", "exec", name(host)});
  return argv;
}

}  // namespace kavri::testing
