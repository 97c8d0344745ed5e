// Copies to or from a shared mapping that another process may shrink at any moment. Touching a
// page that a shrink took away raises SIGBUS, which would end the process; within these copies
// it only makes the copy fail. The first call installs the process's SIGBUS handler: a SIGBUS
// anywhere else keeps its usual effect (the handler found before, or the end of the process).
#pragma once

#include <cstddef>

namespace kavri {

// Copies `size` bytes; false, with `to` partly written, when a page of `from` or `to` was gone.
bool guarded_copy(void* to, const void* from, std::size_t size);

}  // namespace kavri
