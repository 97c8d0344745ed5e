// How the main loop hands events to the windows of every subsystem: each window registers the
// handlers of its own control numbers, and anything that must advance once per pass of the
// loop (a write that runs in steps, say) registers a pass hook.
#pragma once

#include <deque>
#include <functional>
#include <map>

namespace kavri {

struct Dispatch {
  std::map<int, std::function<void()>> control_handlers;  // by control number
  std::map<int, std::function<void()>> close_handlers;    // by window number
  // Every pass, on the main thread. A deque: a hook may add hooks while it runs, and adding
  // one never moves the others.
  std::deque<std::function<void()>> pass_hooks;
};

}  // namespace kavri
