# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the POSIX thread model, which
# std::thread and std::mutex need). Programs link libgcc, libstdc++ and winpthread statically, so
# they need no DLL beyond Windows' own. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOKIREN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOKIREN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOKIREN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOKIREN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOKIREN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TOKIREN_WINE NAMES wine wine64)
if(TOKIREN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOKIREN_WINE})
endif()
