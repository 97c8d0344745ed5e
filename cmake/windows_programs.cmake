# What every Windows program carries (the project's icon, its manifest, its version for
# Explorer), and the version that Windows' installer compares: the project's version "M.mmm"
# read as M.mmm.0 (Windows Installer compares major, minor and build as numbers; the minor's
# leading zeros fall away and it must stay below 256).
math(EXPR KAVRI_VERSION_MINOR_NUMBER "${PROJECT_VERSION_MINOR}")
if(KAVRI_VERSION_MINOR_NUMBER GREATER 255)
  message(FATAL_ERROR "Windows versions hold a minor number up to 255, not ${PROJECT_VERSION}")
endif()
set(KAVRI_WINDOWS_VERSION "${PROJECT_VERSION_MAJOR}.${KAVRI_VERSION_MINOR_NUMBER}.0")
set(KAVRI_WINDOWS_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${KAVRI_VERSION_MINOR_NUMBER},0,0")

# kavri_windows_resources(target summary): gives a Windows program its icon, manifest and
# version resource.
function(kavri_windows_resources target summary)
  set(KAVRI_NAME ${target})
  set(KAVRI_SUMMARY ${summary})
  set(KAVRI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/kavri.ico)
  set(KAVRI_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/kavri.manifest)
  set(rc ${PROJECT_BINARY_DIR}/resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
