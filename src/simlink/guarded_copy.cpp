#include "simlink/guarded_copy.h"

#include <pthread.h>
#include <ucontext.h>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace kavri {
namespace {

struct sigaction previous_action;
// Where this thread's copy resumes after a SIGBUS; null outside a copy. Initial-exec, so the
// handler reads it without any call into the dynamic linker.
[[gnu::tls_model("initial-exec")]] thread_local sigjmp_buf* active_copy = nullptr;

void on_sigbus(int signal, siginfo_t* info, void* context) {
  if (sigjmp_buf* resume = active_copy) {
    active_copy = nullptr;
    // The copy resumes with the signal mask it had when it faulted (the handler's own mask
    // blocks SIGBUS, and a sanitizer's blocks everything): restored here, on this rare path,
    // rather than saved at every copy.
    pthread_sigmask(SIG_SETMASK, &static_cast<ucontext_t*>(context)->uc_sigmask, nullptr);
    siglongjmp(*resume, 1);
  }
  if ((previous_action.sa_flags & SA_SIGINFO) != 0) {
    previous_action.sa_sigaction(signal, info, context);
  } else if (previous_action.sa_handler != SIG_DFL && previous_action.sa_handler != SIG_IGN) {
    previous_action.sa_handler(signal);
  } else {
    // As if no handler had been installed: the faulting access runs again and ends the process.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
  }
}

void install_handler() {
  struct sigaction action {};
  action.sa_sigaction = on_sigbus;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &previous_action);
}

}  // namespace

bool guarded_copy(void* to, const void* from, std::size_t size) {
  static std::once_flag installed;
  std::call_once(installed, install_handler);
  sigjmp_buf resume;
  if (sigsetjmp(resume, 0) != 0) return false;
  active_copy = &resume;
  std::atomic_signal_fence(std::memory_order_seq_cst);  // set before the copy begins
  std::memcpy(to, from, size);
  std::atomic_signal_fence(std::memory_order_seq_cst);  // cleared only once it has ended
  active_copy = nullptr;
  return true;
}

}  // namespace kavri
