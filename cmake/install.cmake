# What `cmake --install` lays out, and the Debian package made from it by cpack: the programs
# (KAVRI_PROGRAMS) and their manual pages, and on Linux the udev rule, the menu entry with its
# launcher and icon, and the docs. A Windows build makes the installer and the zip's folder.
include(GNUInstallDirs)

get_property(KAVRI_PROGRAMS GLOBAL PROPERTY KAVRI_PROGRAMS)
install(TARGETS ${KAVRI_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The list for the scripts (scripts/check-package.sh, scripts/package-windows.sh), one a line.
string(REPLACE ";" "\n" program_lines "${KAVRI_PROGRAMS}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/programs.txt CONTENT "${program_lines}\n")
if(WIN32)
  include(cmake/windows_installer.cmake)
elseif(KAVRI_SANITIZE STREQUAL "" AND (NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR))
  # Sanitizer builds make no package, and their programs' leak checks would fail a build.
  include(cmake/manual_pages.cmake)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(KAVRI_PACKAGE_MAINTAINER "Kavri developers <kavri-dev@example.org>"
      CACHE STRING "Maintainer named by the Debian package and its changelog")
  set(packaging ${PROJECT_SOURCE_DIR}/packaging)
  set(generated ${PROJECT_BINARY_DIR}/installed)

  # udev reads the rules of packages in /usr/lib/udev/rules.d and never looks under /usr/local:
  # a build from source copies the rule into /etc/udev/rules.d (README, "Install").
  install(FILES ${packaging}/70-kavri.rules DESTINATION lib/udev/rules.d)

  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${packaging}/icons/kavri.svg DESTINATION ${icons}/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${packaging}/icons/kavri-${size}.png DESTINATION ${icons}/${size}x${size}/apps
            RENAME kavri.png)
  endforeach()

  # The README keeps its links: docs/ beside it, as in the source tree.
  install(FILES README.md ${packaging}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

  install(CODE "
    set(KAVRI_SOURCE \"${PROJECT_SOURCE_DIR}\")
    set(KAVRI_GENERATED \"${generated}\")
    set(KAVRI_VERSION \"${PROJECT_VERSION}\")
    set(KAVRI_MAINTAINER \"${KAVRI_PACKAGE_MAINTAINER}\")
    set(KAVRI_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(KAVRI_LIBEXECDIR \"${CMAKE_INSTALL_LIBEXECDIR}\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/install_time_files.cmake\")")
  install(FILES ${generated}/kavri.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(PROGRAMS ${generated}/kavri-launch DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kavri)
  install(FILES ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

  include(cmake/debian_package.cmake)
  # The package of the programs as built here; sanitizer builds make no package.
  if(KAVRI_TESTS AND KAVRI_SANITIZE STREQUAL "")
    add_test(NAME debian_package
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-package.sh ${PROJECT_BINARY_DIR})
    set_tests_properties(debian_package PROPERTIES FIXTURES_REQUIRED "tested_programs;manual_pages"
                                                   LABELS package)
    if(TARGET man-pages)
      add_test(NAME build_manual_pages
               COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target man-pages)
      set_tests_properties(build_manual_pages PROPERTIES FIXTURES_SETUP manual_pages
                                                         LABELS package)
    endif()
  endif()
endif()
