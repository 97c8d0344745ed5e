# GoogleTest built with the cross compilers from the sources Debian ships in libgtest-dev: the
# packaged libraries are for the build machine only.
set(BUILD_GMOCK OFF CACHE BOOL "GoogleMock is not used" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "Nothing of GoogleTest is installed" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# It defines GTest::gtest and GTest::gtest_main itself.
