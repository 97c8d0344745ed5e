#include "ui/toolkit.h"

#include <iostream>

namespace kavri {

void Toolkit::message_box(std::string_view title, std::string_view text) {
  if (end_signalled()) {
    std::cerr << title << ": " << text << '\n';
    return;
  }
  show_message_box(title, text);
}

}  // namespace kavri
