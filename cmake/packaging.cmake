# The Windows package: `cmake --build build-win --target package` makes
# tokiren-<version>-win64.zip, whose one top folder of the same name holds the executables and
# README.txt. The programs keep their log and settings beside themselves, so the unpacked folder
# is the whole installation.

# The executables install themselves (app/, cli/).

# The read-me with the version filled in and CR LF line ends, for Notepad.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt
               ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION ${TOKIREN_INSTALL_BINDIR})

set(CPACK_PACKAGE_NAME tokiren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tokiren-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
