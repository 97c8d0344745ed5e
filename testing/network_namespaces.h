// Hosts made of network namespaces for one test, joined by veth pairs: traffic between them
// never leaves the machine. Every namespace is deleted when the object goes, a failed
// assertion included. Needs root and iproute2's `ip`; POSIX (Linux) only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/result.h"

namespace kavri::testing {

class NetworkNamespaces {
 public:
  // The namespaces' names start with "kavri-", this process's id and a count, so that runs
  // side by side never meet.
  NetworkNamespaces();
  ~NetworkNamespaces();
  NetworkNamespaces(const NetworkNamespaces&) = delete;
  NetworkNamespaces& operator=(const NetworkNamespaces&) = delete;

  // A new host named `host` within this object, its loopback up; fails without root, `ip` or
  // namespaces on this machine.
  Status add_host(const std::string& host);
  // Runs `ip ARGS` on `host` (ip -n); fails with ip's words.
  Status ip(const std::string& host, const std::vector<std::string>& args);
  // A veth pair, up: interface `a_name` with `a_address` (CIDR) on `a`, `b_name` on `b`.
  Status link(const std::string& a, const std::string& a_name, const std::string& a_address,
              const std::string& b, const std::string& b_name, const std::string& b_address);
  // Runs `work` on this thread within `host`'s network (the sockets it makes stay there).
  Status inside(const std::string& host, const std::function<void()>& work);
  // `argv` prefixed so that the program runs on `host` (its process id stays the program's).
  std::vector<std::string> on(const std::string& host, std::vector<std::string> argv) const;

 private:
  std::string name(const std::string& host) const { return prefix_ + host; }

  std::string ip_path_;
  std::string prefix_;
  std::vector<std::string> made_;
};

}  // namespace kavri::testing
