# Cross-builds the Linux programs for arm64 (the Raspberry Pi-class boards behind a panel) with
# Debian's cross compilers, against Debian's arm64 libraries installed beside the build
# machine's own (multiarch: /usr/lib/aarch64-linux-gnu, headers shared in /usr/include). Tests
# run under qemu-user; the arm64 C library of the same multiarch installation is its root, so a
# program finds its libraries where it would on the board.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The C library the compilers link with (libm included) is in their own root.
list(APPEND CMAKE_SYSTEM_LIBRARY_PATH /usr/aarch64-linux-gnu/lib)

# pkg-config reads the arm64 packages' files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

find_program(KAVRI_QEMU qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVRI_QEMU})
# The package is for the board's architecture, not the build machine's.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
