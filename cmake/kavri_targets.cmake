if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_programs.cmake)
endif()

# The project's warnings, per compiler, for every target of ours (not for third-party code).
add_library(kavri_warnings INTERFACE)
if(MSVC)
  target_compile_options(kavri_warnings INTERFACE /W4 /WX /permissive- /utf-8)
else()
  target_compile_options(kavri_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror -Wshadow
                                                  -Wconversion -Wno-sign-conversion)
endif()

# kavri_library(name SOURCES files... LIBS libraries...): a static library of the listed
# sources, linked with exactly the libraries it may use.
function(kavri_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_link_libraries(${name} PUBLIC ${L_LIBS} PRIVATE kavri_warnings)
endfunction()

# kavri_program(name SOURCES files... LIBS libraries...): one of the project's executables.
function(kavri_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS} kavri_warnings)
endfunction()

# Every test carries one CTest label, so that a run can pick its kind:
#   unit     pure code, fakes, the virtual card and simulator in the test's own process; fast
#   gui      opens real windows (needs a display)
#   e2e      starts the built programs as processes
#   package  builds and checks the installable package
# A test that names no label is `unit`: kavri_tests() and add_test() below give it.
set(KAVRI_DEFAULT_TEST_LABEL unit)

# kavri_shipped_program(name SUMMARY text SOURCES files... LIBS libraries...): a program that
# users get. The list of these programs (global property KAVRI_PROGRAMS, in the order declared)
# is the one that the install rules, the Debian package, the manual pages and the Windows
# installer and zip all read; SUMMARY is the one line that says what the program is (its manual
# page's NAME line).
function(kavri_shipped_program name)
  cmake_parse_arguments(P "" "SUMMARY" "SOURCES;LIBS" ${ARGN})
  if(NOT P_SUMMARY)
    message(FATAL_ERROR "kavri_shipped_program(${name}) needs a SUMMARY: its manual page's NAME")
  endif()
  kavri_program(${name} SOURCES ${P_SOURCES} LIBS ${P_LIBS})
  if(WIN32)
    kavri_windows_resources(${name} "${P_SUMMARY}")
  endif()
  set_target_properties(${name} PROPERTIES KAVRI_SUMMARY "${P_SUMMARY}")
  set_property(GLOBAL APPEND PROPERTY KAVRI_PROGRAMS ${name})
endfunction()

# kavri_tests(name SOURCES files... LIBS libraries... [LABELS labels...]
#             [PROPERTIES name value...]): one GoogleTest program, linked with the libraries
# its tests use and the test helpers every test program links (kavri_testing: virtual time,
# scratch files, child processes); PROPERTIES go to each of its tests; LABELS
# (default: unit) label each of them.
function(kavri_tests name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kavri_testing GTest::gtest_main
                                        kavri_warnings)
  set(properties TIMEOUT 300 ${T_PROPERTIES})
  if(NOT T_LABELS)
    set(T_LABELS ${KAVRI_DEFAULT_TEST_LABEL})
  endif()
  list(APPEND properties LABELS ${T_LABELS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# kavri_gui_tests(files...): tests that open real windows; they join the one gui_tests program.
function(kavri_gui_tests)
  foreach(source ${ARGN})
    set_property(GLOBAL APPEND PROPERTY KAVRI_GUI_TEST_SOURCES
                 ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
endfunction()

# kavri_win32_gui_tests(files...): the same for the native Windows toolkit; they form the
# gui_tests program of a Windows build instead.
function(kavri_win32_gui_tests)
  foreach(source ${ARGN})
    set_property(GLOBAL APPEND PROPERTY KAVRI_WIN32_GUI_TEST_SOURCES
                 ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
endfunction()

# Every add_test() of the tree starts with the default label, so that a test added anywhere is
# picked by its kind at once; a set_tests_properties(... LABELS ...) of its own replaces it.
function(add_test)
  _add_test(${ARGV})
  if(ARGV0 STREQUAL "NAME")
    set_tests_properties(${ARGV1} PROPERTIES LABELS ${KAVRI_DEFAULT_TEST_LABEL})
  endif()
endfunction()
