# The Debian package: CPack's DEB generator over the install with prefix
# /usr (`make package` builds build-package/ for it and runs cpack there).
# The install is made with DESTDIR and the prefix /usr whatever the build's
# own prefix, so that the desktop entry's Exec is worked out for /usr, not
# for CPack's staging folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo32)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvo32 maintainers")
set(CPACK_PACKAGE_CONTACT "${KELVO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "release packager: numbered zips with FILE_ID.DIZ and NFO")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvo32 packages a release: a source directory, drive or CD image becomes
a numbered set of archive volumes of a chosen size, and each volume is
wrapped into its own numbered zip with a FILE_ID.DIZ, an NFO, extras and a
zip comment. Jobs are saved as scripts (.kvo) and can be packaged
unattended from the command line, without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/KelvoPackageStrip.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the binaries link; 7zz does the
# archivers' work, the VGA font draws the DIZ and NFO and par2 makes the
# recovery files, none of them linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "7zip, fonts-pc, par2")
# "&Open folder" and the links open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
