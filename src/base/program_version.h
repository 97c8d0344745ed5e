// The version of every Kavri program and of the package, set once as the project's version in
// CMake (which passes it to the compiler as KAVRI_VERSION).
#pragma once

#ifndef KAVRI_VERSION
#error "KAVRI_VERSION is set by the build from the project's version"
#endif

namespace kavri {

// Shown in the driver's main window and printed by every program's "--version".
inline constexpr const char* PROGRAM_VERSION = KAVRI_VERSION;

}  // namespace kavri
