# The Windows package: `cmake --build build-win --target package` makes
# tokiren-<version>-win64.zip, whose one top folder of the same name holds the executables (the
# window, tokiren-cli and the capture-time helper they start) and README.txt. The programs keep their log and settings beside themselves, so the unpacked folder
# is the whole installation. The installer (target `installer`, below) installs the same files.

# The executables install themselves (app/, cli/, media/).

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

# The installer for Windows users: `cmake --build build-win --target installer` makes
# tokiren-<version>-win64-setup.exe with Debian's makensis from packaging/installer.nsi (the
# generator CPack brings installs for every user, as administrator, which would split the log
# between two folders). It installs the files the zip holds, stripped the same way, staged by
# `cmake --install`.
find_program(TOKIREN_MAKENSIS makensis)
if(TOKIREN_MAKENSIS AND TARGET tokiren AND TARGET tokiren-media-helper)
  set(installer_stage ${PROJECT_BINARY_DIR}/packaging/installer-files)
  set(installer_file ${PROJECT_BINARY_DIR}/tokiren-${PROJECT_VERSION}-win64-setup.exe)
  set(installer_script ${PROJECT_SOURCE_DIR}/packaging/installer.nsi)
  set(installer_icon ${PROJECT_SOURCE_DIR}/ui/resources/tokiren.ico)
  add_custom_command(
    OUTPUT ${installer_file}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${installer_stage}
    COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${installer_stage} --strip
    COMMAND ${TOKIREN_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8
            -DVERSION=${PROJECT_VERSION}
            -DTOKIREN_EXE=${installer_stage}/tokiren.exe
            -DTOKIREN_CLI_EXE=${installer_stage}/tokiren-cli.exe
            -DTOKIREN_HELPER_EXE=${installer_stage}/tokiren-media-helper.exe
            -DREADME=${installer_stage}/README.txt
            -DICON=${installer_icon}
            -DOUTFILE=${installer_file}
            ${installer_script}
    DEPENDS tokiren tokiren-cli tokiren-media-helper ${PROJECT_BINARY_DIR}/packaging/README.txt ${installer_script}
            ${installer_icon}
    COMMENT "Making tokiren-${PROJECT_VERSION}-win64-setup.exe"
    VERBATIM)
  add_custom_target(installer DEPENDS ${installer_file})
endif()
