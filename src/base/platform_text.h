// What the programs' text owes to the platform they run on: the words for its places in
// "--help", and how text reaches a console. One implementation per platform.
#pragma once

#include <string_view>

namespace kavri {

struct PlatformWords {
  // The folder that the desktop's menu entry runs the driver in.
  std::string_view desktop_settings_folder;
  std::string_view desktop_menu;  // "the desktop menu", "the Start menu"
  std::string_view path_separator;
  // How text reaches a console, ending with a newline; "" where nothing needs saying.
  std::string_view text_note;
};

const PlatformWords& platform_words();

// Makes standard output and standard error that are a console show the programs' UTF-8 text
// as it is meant, accents included, whatever the console's code page; a file or a pipe keeps
// the UTF-8 bytes. Text through std::cout and std::cerr only: C stdio keeps its bytes. Call
// once, first thing in main (after use_parent_console), before anything is printed.
void use_console_text();

}  // namespace kavri
