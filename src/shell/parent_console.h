// Where a windowed program's text goes. Started from a console (a command prompt), a windowed
// Windows program gets no console of its own and its "--help", "--version" and messages would
// vanish; started from the desktop it must not open one. One implementation per platform.
#pragma once

namespace kavri {

// Sends standard output and standard error that lead nowhere to the console of the program's
// parent, when it has one; streams redirected to a file or a pipe stay as they are. Call first
// thing in main, before anything is printed.
void use_parent_console();

}  // namespace kavri
