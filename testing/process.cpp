#include "testing/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>
#include <thread>

#include "testing/files.h"

extern char** environ;

namespace kavri::testing {
namespace {

bool names(std::string_view entry, std::string_view name) {
  return entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=';
}

std::vector<std::string> child_environment(const ProcessOptions& options) {
  std::vector<std::string> entries = options.environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    bool dropped = false;
    for (const std::string& name : options.unset) dropped = dropped || names(entry, name);
    for (const std::string& set : options.environment) {
      dropped = dropped || names(entry, std::string_view(set).substr(0, set.find('=')));
    }
    if (!dropped) entries.emplace_back(entry);
  }
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  // Everything the child needs is built before fork: after it, only async-signal-safe calls.
  std::vector<std::string> args = argv;
  std::vector<std::string> env = child_environment(options);
  const std::vector<char*> arg_pointers = pointers(args);
  const std::vector<char*> env_pointers = pointers(env);
  pid_ = fork();
  if (pid_ != 0) return;
  const int out = open(options.out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(options.err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if ((!options.directory.empty() && chdir(options.directory.c_str()) != 0) || out < 0 || err < 0 ||
      dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) {
    _exit(127);
  }
  execve(arg_pointers[0], arg_pointers.data(), env_pointers.data());
  _exit(127);
}

ChildProcess::~ChildProcess() {
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::running() {
  if (pid_ <= 0 || ended_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  ended_ = true;
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

void ChildProcess::signal(int number) {
  if (running()) kill(pid_, number);
}

int ChildProcess::wait(std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (running()) {
    if (std::chrono::steady_clock::now() > give_up) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      ended_ = true;
      return exit_code_ = -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return exit_code_;
}

ProcessResult run_process(const std::vector<std::string>& argv, ProcessOptions options,
                          std::chrono::milliseconds limit) {
  const ScratchDirectory outputs;
  options.out_file = outputs.file("out");
  options.err_file = outputs.file("err");
  ProcessResult result;
  {
    ChildProcess child(argv, options);
    result.exit_code = child.wait(limit);
  }
  result.out = read_file(options.out_file);
  result.err = read_file(options.err_file);
  return result;
}

}  // namespace kavri::testing
