#include "shell/parent_console.h"

namespace kavri {

// A POSIX program always has the standard streams its parent gave it, terminal or not.
void use_parent_console() {}

}  // namespace kavri
