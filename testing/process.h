// Programs started by tests, without a shell: no character of an argument or a path is ever
// read as a command.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kavri::testing {

struct ProcessOptions {
  std::string directory;                 // where it runs; "" for the current directory
  std::vector<std::string> environment;  // "NAME=value" entries added, replacing any of NAME
  std::vector<std::string> unset;        // names removed from the environment ("DISPLAY")
  std::string out_file = "/dev/null";    // where its standard output and error go
  std::string err_file = "/dev/null";
};

// A running program. Destroying it kills a program still running, so a failed assertion
// leaves no process behind.
class ChildProcess {
 public:
  // argv[0] is the program's path.
  ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool running();
  void signal(int number);
  // The exit code once it has ended within `limit`; -1 when a signal ended it, or when it is
  // killed here for outliving `limit`.
  int wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int exit_code_ = -1;
};

struct ProcessResult {
  int exit_code = -1;
  std::string out, err;
};

// Runs a program to its end (killed after `limit`) and gives its exit code and output; the
// options' output files are not used.
ProcessResult run_process(const std::vector<std::string>& argv, ProcessOptions options = {},
                          std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace kavri::testing
