# `cpack -G DEB` in a build folder: the installed tree as the Debian package orvel-remote, its
# dependencies read from the programs' shared libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel-remote)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for the TVs on your network")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "remote control for the TVs on your network\n Orvel Remote drives Apple TV devices and Roku TVs on the local network from the\n system tray, from the media keys and from the orvel command.")
# Installed into /usr with DESTDIR at the staging folder, so that the desktop entry and the user
# unit name /usr/bin/OrvelRemote.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvel Remote developers")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs without their line tables: a tenth of the size.
set(CPACK_STRIP_FILES ON)
include(CPack)
