# The Debian package: `cpack` in the build tree writes kavri_<version>_<arch>.deb from the
# install rules, laid out under /usr, with its library dependencies (FLTK, hidapi, ...) found by
# dpkg-shlibdeps from the programs themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavri)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KAVRI_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "driver of the Kavri home-cockpit gauge bus")
set(CPACK_PACKAGE_DESCRIPTION "\
A USB HID master card (vendor 0xFCFD, product 0x0001) drives a bus of gauge
modules; the driver reads the flight simulator's variables through FSUIPC and
moves the needles. Its French-language windows test gauges, edit and write
module parameters and calibrate non-linear dials. With kavri-bench (the driver
on a virtual card and panel), kavri-sim (a virtual simulator), kavri-gauge
(a gauge calculator), kavri-fgfs and kavri-xplane (the bridges that feed the
driver from FlightGear and X-Plane) and kavri-relay (which serves a simulator's
link to cockpit computers across the network, authenticated by a shared key).")
include(CPack)
