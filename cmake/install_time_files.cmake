# Run by `cmake --install` and by cpack, once CMAKE_INSTALL_PREFIX is the prefix that the files
# will really live under (cpack lays the package out under /usr, whatever this tree's prefix):
# writes into KAVRI_GENERATED the files that name installed paths, and the changelog.
# Set by the install rules: KAVRI_SOURCE, KAVRI_GENERATED, KAVRI_VERSION, KAVRI_MAINTAINER,
# KAVRI_BINDIR, KAVRI_LIBEXECDIR (relative to the prefix).
set(KAVRI_PROGRAM "${CMAKE_INSTALL_PREFIX}/${KAVRI_BINDIR}/kavri")
set(KAVRI_LAUNCHER "${CMAKE_INSTALL_PREFIX}/${KAVRI_LIBEXECDIR}/kavri/kavri-launch")
configure_file("${KAVRI_SOURCE}/packaging/kavri.desktop.in" "${KAVRI_GENERATED}/kavri.desktop"
               @ONLY)
configure_file("${KAVRI_SOURCE}/packaging/kavri-launch.in" "${KAVRI_GENERATED}/kavri-launch" @ONLY)

# The date of the package's build (SOURCE_DATE_EPOCH when set, for a reproducible package),
# compressed the way Debian wants its changelogs: best compression, no name or time stamp.
string(TIMESTAMP KAVRI_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${KAVRI_SOURCE}/packaging/changelog.in" "${KAVRI_GENERATED}/changelog" @ONLY)
execute_process(COMMAND gzip -9nf "${KAVRI_GENERATED}/changelog" COMMAND_ERROR_IS_FATAL ANY)
