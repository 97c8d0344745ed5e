// How the main loop hands events to the windows of every subsystem: each window registers the
// handlers of its own control numbers, and anything that must advance once per pass of the
// loop (a write that runs in steps, say) registers a pass hook.
#pragma once

#include <functional>
#include <map>
#include <vector>

namespace kavri {

struct Dispatch {
  std::map<int, std::function<void()>> control_handlers;  // by control number
  std::map<int, std::function<void()>> close_handlers;    // by window number
  std::vector<std::function<void()>> pass_hooks;          // every pass, on the main thread
};

}  // namespace kavri
