#include "base/platform_text.h"

namespace kavri {

const PlatformWords& platform_words() {
  static constexpr PlatformWords WORDS{"$XDG_CONFIG_HOME/kavri", "the desktop menu", "/", ""};
  return WORDS;
}

// A terminal takes the UTF-8 bytes as they are.
void use_console_text() {}

}  // namespace kavri
