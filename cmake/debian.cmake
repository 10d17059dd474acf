# The package for Debian users: `cmake --build build --target package` makes
# tokiren_<version>_amd64.deb. It installs under /usr: tokiren, tokiren-cli and the capture-time
# helper beside them in /usr/bin (the programs look for the helper beside themselves), the menu
# entry and the icon in every size. /usr/bin is not the user's to write, so both programs keep the
# log and the settings files in ~/.local/share/tokiren/ (see platform/program_folder.h).
set(CPACK_PACKAGE_NAME tokiren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tokiren developers <tokiren@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries it needs (Qt 6, the metadata readers), as dpkg-shlibdeps finds them, and the one
# Qt loads at run time: the window's platform plugins (xcb, wayland).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "renames files after their time stamps")
set(CPACK_PACKAGE_DESCRIPTION "Tokiren renames the files of a folder tree after their last-write \
or creation time, or the time a photo or video was taken, as 20160830124842.JPG, and can rename \
them back. The window (tokiren) and the command line (tokiren-cli) share one log.")
include(CPack)
