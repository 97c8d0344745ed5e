# The section-1 manual page of each of KAVRI_PROGRAMS, made at build time by scripts/man-page.sh
# from the program's own --help and --version (so a page never disagrees with its program), its
# NAME line the program's SUMMARY, compressed as Debian wants (best, no name or time stamp). A
# cross build runs its programs through its emulator (the script hands the command to the shell).
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
set(KAVRI_MAN_PAGES)
foreach(program ${KAVRI_PROGRAMS})
  get_target_property(summary ${program} KAVRI_SUMMARY)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  string(STRIP "${emulator} $<TARGET_FILE:${program}>" command)
  add_custom_command(OUTPUT ${page}.gz
                     COMMAND ${PROJECT_SOURCE_DIR}/scripts/man-page.sh ${command} ${summary}
                             ${page}
                     COMMAND gzip -9nf ${page}
                     DEPENDS ${program} ${PROJECT_SOURCE_DIR}/scripts/man-page.sh VERBATIM)
  list(APPEND KAVRI_MAN_PAGES ${page}.gz)
endforeach()
add_custom_target(man-pages ALL DEPENDS ${KAVRI_MAN_PAGES})
install(FILES ${KAVRI_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
