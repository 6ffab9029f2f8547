# The Debian package: CPack's DEB generator over the install rules of this folder.
#
# Why CPack and not debian/ with debhelper: the install rules in CMakeLists.txt beside this
# file are the package's layout, so there is one description of where each file goes; the
# version comes from project() and needs no debian/changelog kept in step; and the package
# can be made from any build that exists (scripts/package.sh with LINVAR_BUILD_DIR), with no
# second compile of the program.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linvar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Linvar developers")
set(CPACK_PACKAGE_CONTACT ${LINVAR_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commissioning tool for devices on an RS-485 bus")
# Debian shows the description's lines as they are, so they stay under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Linvar finds the devices that answer on an RS-485 bus, reached through a\n"
    "serial port with an RS-485 converter, and shows each one's bus address, type\n"
    "and firmware version. For a chosen device it reads the interface parameters\n"
    "that the XML catalogue describes for its type and firmware, lets them be\n"
    "edited or put back to the factory defaults, and writes them to the device.\n"
    ".\n"
    "The package holds the window (linvar), the command-line tool for scripts and\n"
    "machines without a display (linvar-cli), and a bus simulator with a demo bus\n"
    "to try both without hardware (linvar-sim).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# Only what this folder installs, not the install rules of anything else in the tree.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};linvar;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LINVAR_WEB_ADDRESS})
# The libraries the binaries link come from dpkg-shlibdeps. The window also needs Qt's
# platform plugins (xcb, wayland) and Qt's own Russian texts (qtbase_ru, for the file dialogs
# and standard buttons), which Qt loads at run time, so no binary names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/conffiles
                                       ${CMAKE_CURRENT_SOURCE_DIR}/preinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
