# The Windows programs as a user gets them, stripped into build-windows/installed-programs, and
# the installer build-windows/kavri-<version>.msi (target kavri-msi) that wixl builds of them:
# KAVRI_PROGRAMS and kavri-launch.exe, which its Start-menu entry starts.
# scripts/package-windows.sh zips KAVRI_PROGRAMS from the same folder.
find_program(KAVRI_WIXL wixl REQUIRED)
set(stage ${PROJECT_BINARY_DIR}/installed-programs)
set(KAVRI_MSI ${PROJECT_BINARY_DIR}/kavri-${PROJECT_VERSION}.msi)
set(staged)
set(KAVRI_MSI_FILES)
set(KAVRI_MSI_REFS)
foreach(program ${KAVRI_PROGRAMS} kavri-launch)
  add_custom_command(OUTPUT ${stage}/${program}.exe
                     COMMAND ${CMAKE_STRIP} -o ${stage}/${program}.exe $<TARGET_FILE:${program}>
                     DEPENDS ${program} VERBATIM)
  list(APPEND staged ${stage}/${program}.exe)
  string(APPEND KAVRI_MSI_FILES
         "          <Component Id=\"${program}\" Guid=\"*\" Win64=\"yes\">\n"
         "            <File Id=\"${program}.exe\" Source=\"${program}.exe\" KeyPath=\"yes\" />\n"
         "          </Component>\n")
  string(APPEND KAVRI_MSI_REFS "      <ComponentRef Id=\"${program}\" />\n")
endforeach()
set(icon ${PROJECT_SOURCE_DIR}/packaging/icons/kavri.ico)
add_custom_command(OUTPUT ${stage}/kavri.ico COMMAND ${CMAKE_COMMAND} -E copy ${icon} ${stage}
                   DEPENDS ${icon} VERBATIM)
# The read-me as Windows' Notepad wants it: CR LF, and a byte order mark that says UTF-8. The
# zip of scripts/package-windows.sh takes it from here too.
set(readme ${PROJECT_SOURCE_DIR}/packaging/windows/LISEZMOI.txt)
add_custom_command(OUTPUT ${stage}/LISEZMOI-README.txt
                   COMMAND bash -c "{ printf '\\xEF\\xBB\\xBF'; sed 's/$/\\r/' \"$1\"; } >\"$2\""
                           windows-text ${readme} ${stage}/LISEZMOI-README.txt
                   DEPENDS ${readme} VERBATIM)
get_target_property(KAVRI_SUMMARY kavri KAVRI_SUMMARY)
get_target_property(KAVRI_BENCH_SUMMARY kavri-bench KAVRI_SUMMARY)
set(wxs ${stage}/kavri.wxs)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/kavri.wxs.in ${wxs} @ONLY)
add_custom_command(OUTPUT ${KAVRI_MSI}
                   COMMAND bash -c "exec \"$0\" \"$@\" -D AppsListGuid=$(cat /proc/sys/kernel/random/uuid)"
                           ${KAVRI_WIXL} -a x64 -D Version=${KAVRI_WINDOWS_VERSION}
                           -D DisplayVersion=${PROJECT_VERSION} -o ${KAVRI_MSI} kavri.wxs
                   WORKING_DIRECTORY ${stage}
                   DEPENDS ${staged} ${stage}/kavri.ico ${stage}/LISEZMOI-README.txt ${wxs}
                   VERBATIM)
add_custom_target(kavri-msi DEPENDS ${KAVRI_MSI})

# Under Wine: an upgrade, the installed programs, the Start-menu entry and its launcher, and an
# uninstall that keeps the user's files. The installer is brought up to date first.
if(KAVRI_TESTS)
  add_test(NAME build_windows_installer
           COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target kavri-msi)
  set_tests_properties(build_windows_installer PROPERTIES FIXTURES_SETUP windows_installer)
  add_test(NAME Windows.InstallerUpgradesRunsTheDriverInTheUsersFolderAndUninstalls
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows/installer.sh ${KAVRI_WINE}
                   ${KAVRI_WIXL} ${wxs} ${KAVRI_MSI} ${PROJECT_BINARY_DIR}/programs.txt
                   ${PROJECT_VERSION} ${KAVRI_WINDOWS_VERSION})
  set_tests_properties(Windows.InstallerUpgradesRunsTheDriverInTheUsersFolderAndUninstalls
                       PROPERTIES FIXTURES_REQUIRED windows_installer
                                  RESOURCE_LOCK desktop LABELS "package;gui"
                                  TIMEOUT 300)
endif()
